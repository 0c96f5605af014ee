#include "platform/FolderListing.h"

#include "platform/TextConversion.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace platform {

namespace {

bool isDirectoryEntry(const std::string& folder, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return entry.d_type == DT_DIR;
    struct stat status {};
    const std::string path = folder + "/" + entry.d_name;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::optional<std::vector<FolderEntry>> listFolder(const std::wstring& folder) {
    const std::string path = wideToUtf8(folder);
    DIR* dir = opendir(path.c_str());
    if (!dir) return std::nullopt;
    std::vector<FolderEntry> entries;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        entries.push_back({utf8ToWide(entry->d_name), isDirectoryEntry(path, *entry)});
    }
    closedir(dir);
    return entries;
}

}  // namespace platform
