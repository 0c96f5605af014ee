#pragma once
// Colour matching from a picture: the colour-matching effects take the colour statistics of a
// reference as parameters, and `apply --reference` measures them from a picture file.

#include <map>
#include <string>

#include "tools/qorfx/FrameContext.h"

namespace qorfx {

// Measures the picture at `referencePath` the way the colour-matching effect `guid` (called
// `effectName`) measures its own frames, and adds the measured targets and "Enabled" = 1 to
// `values`, keeping any value already there (given with -p). False with a message in `error` for
// another effect or a picture that cannot be read or measured.
bool addReferenceTargets(const std::string& guid, const std::string& effectName, const std::string& referencePath,
                         std::map<std::string, HostValue>& values, std::string& error);

}  // namespace qorfx
