#pragma once
// The values a user gives one effect: NAME=VALUE texts after -p, and preset files (a JSON object
// mapping parameter names to values written as -p takes them; `qorfx describe --json` prints one
// under "preset").

#include <map>
#include <string>

#include "tools/qorfx/FrameContext.h"
#include "tools/qorfx/HostRegistrar.h"

namespace qorfx {

using ParamValues = std::map<std::string, HostValue>;

// Adds the value of one NAME=VALUE text; false with the reason in `error`. Warnings (a value
// outside its range) go to stderr.
bool addAssignment(const EffectAnnouncement& effect, const std::string& assignment, double fps, ParamValues& values,
                   std::string& error);

// Adds every value of a preset file; false with the reason in `error`.
bool addPreset(const EffectAnnouncement& effect, const std::string& path, double fps, ParamValues& values,
               std::string& error);

}  // namespace qorfx
