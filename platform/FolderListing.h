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

// The entries of `folder` (without "." and ".."), in name order (listedBefore); nothing when the
// folder cannot be opened.
std::optional<std::vector<FolderEntry>> listFolder(const std::wstring& folder);

// The order in which the Windows file search lists a folder on NTFS, so that a tree is visited the
// same way on every file system: names compared by UTF-16 code units with ASCII letters upper-cased
// ("a" before "B" before "_x"). Names that differ only in letter case (possible on POSIX only) are
// ordered by their exact code units.
bool listedBefore(const std::wstring& a, const std::wstring& b);

}  // namespace platform
