#pragma once
// Reads an effect tree the way the module does at start-up and lists, per description file, what
// the module would drop or misread.

#include <string>
#include <vector>

namespace qorfx {

struct Finding {
    std::string file;
    std::string message;
};

// Checks every description the start-up walk picks below `folder` (the folder whose subfolders
// hold the effects). Findings are in walk order, each fault once.
std::vector<Finding> checkEffectTree(const std::string& folder);

}  // namespace qorfx
