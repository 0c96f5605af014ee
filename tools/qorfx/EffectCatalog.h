#pragma once
// The effects a module announced, findable by GUID, display name or effect folder name.

#include <map>
#include <string>
#include <vector>

#include "tools/qorfx/HostRegistrar.h"
#include "tools/qorfx/ModuleHost.h"

namespace qorfx {

struct CatalogEntry {
    int index;
    const EffectAnnouncement* effect;
    std::string folder;      // the name of the effect's folder in the effect pack, when known
    std::string folderPath;  // that folder's full path
    bool creatable = false;  // the module has an effect class for it
};

class EffectCatalog {
public:
    // The effects `host` registered; `effectFolder` is the folder whose subfolders hold the
    // descriptions (used for folder names). Each effect is created once to learn whether it has a class.
    EffectCatalog(ModuleHost& host, const std::string& effectFolder);

    // Case-insensitive match on GUID, display name or folder name; null when nothing matches.
    const CatalogEntry* find(const std::string& query) const;
    // Names of the effects that look like `query` (few typing mistakes, or containing it).
    std::vector<std::string> closeMatches(const std::string& query) const;
    const std::vector<CatalogEntry>& entries() const { return entries_; }

private:
    std::vector<CatalogEntry> entries_;
};

// A name for an effect that is safe as a file name: the folder name, or the display name cleaned.
std::string fileNameFor(const CatalogEntry& entry);

}  // namespace qorfx
