#pragma once
// Listing of one folder (FindFirstFileW / FindNextFileW on Windows, opendir / readdir on POSIX).

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct FolderEntry {
    std::wstring name;
    bool isDirectory = false;
};

// The entries of `folder` (without "." and ".."), in the order the file system delivers them;
// nothing when the folder cannot be opened.
std::optional<std::vector<FolderEntry>> listFolder(const std::wstring& folder);

}  // namespace platform
