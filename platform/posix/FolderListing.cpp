#include "platform/FolderListing.h"

#include "platform/TextConversion.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

bool isDirectoryEntry(const std::string& folder, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return entry.d_type == DT_DIR;
    struct stat status {};
    const std::string path = folder + "/" + entry.d_name;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// UTF-16 code units with ASCII letters upper-cased; wchar_t is UTF-32 here, so characters past
// U+FFFF become their surrogate pairs, which sort as they do on Windows.
std::u16string sortKey(const std::wstring& name) {
    std::u16string key;
    key.reserve(name.size());
    for (const wchar_t c : name) {
        const auto code = static_cast<char32_t>(c);
        if (code > 0xFFFF) {
            key.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            key.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            key.push_back(static_cast<char16_t>(code >= u'a' && code <= u'z' ? code - (u'a' - u'A') : code));
        }
    }
    return key;
}

}  // namespace

bool listedBefore(const std::wstring& a, const std::wstring& b) {
    const std::u16string keyA = sortKey(a), keyB = sortKey(b);
    return keyA != keyB ? keyA < keyB : a < b;
}

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
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return listedBefore(a.name, b.name); });
    return entries;
}

}  // namespace platform
