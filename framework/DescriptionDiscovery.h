#pragma once
// Finding effect descriptions on disk: the start-up walk over the whole effect tree, and the loader
// that reads the .conf description of one folder.

#include <functional>
#include <string>

#include "framework/NLEFilterInfo.h"

namespace tessel {

// Kind of description file; within one folder a higher value wins.
enum class _EffectFileType : int32_t {
    None = 0,
    FilterXml = 1,        // "filter.xml"
    Conf = 2,             // extension ".conf"
    DescriptionJson = 3,  // "description.json"
};

// Called once per folder that holds a description: kind, description file path, folder path + "/".
using DescriptionCallback = std::function<void(_EffectFileType, std::string, std::string)>;

// Walks the tree below `root`, picks the best description file of every folder and then calls
// `found` for each pick, subfolders before their parent. A folder that cannot be read yields no
// pick of its own and the walk goes on. Returns false (and calls nothing) when `root` does not exist.
bool walkEffectDescriptions(const char* root, const DescriptionCallback& found);

// The description built from the .conf file directly inside `folder` (the last file whose name
// contains ".conf"), or empty. Raises the .conf builder's errors for a malformed description.
NLEFilterInfoPtr loadConfFromFolder(const char* folder);

}  // namespace tessel
