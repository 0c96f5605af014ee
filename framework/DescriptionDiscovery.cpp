#include "framework/DescriptionDiscovery.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include "framework/ConfDescription.h"
#include "platform/FolderListing.h"
#include "platform/TextConversion.h"

namespace tessel {

namespace fs = std::filesystem;

namespace {

struct FoundDescription {
    _EffectFileType kind;
    std::string file;
    std::string folder;
};

using Kind = _EffectFileType;

Kind kindOf(const fs::path& file, Kind best) {
    if (best < Kind::DescriptionJson && file.filename() == "description.json") return Kind::DescriptionJson;
    if (best < Kind::Conf && file.extension() == ".conf") return Kind::Conf;
    if (best < Kind::FilterXml && file.filename() == "filter.xml") return Kind::FilterXml;
    return Kind::None;
}

// The entries of `directory` in the order the Windows file search lists them, whatever order the
// file system delivers, so the same tree always registers its effects in the same order.
std::vector<fs::directory_entry> entriesInNameOrder(const fs::path& directory) {
    std::vector<std::pair<std::wstring, fs::directory_entry>> named;
    for (const auto& entry : fs::directory_iterator(directory, fs::directory_options::skip_permission_denied)) {
        named.emplace_back(platform::utf8ToWide(entry.path().filename().string()), entry);
    }
    std::sort(named.begin(), named.end(),
              [](const auto& a, const auto& b) { return platform::listedBefore(a.first, b.first); });
    std::vector<fs::directory_entry> entries;
    for (auto& item : named) entries.push_back(std::move(item.second));
    return entries;
}

class DescriptionScan {
public:
    std::vector<FoundDescription> found;

    void scan(const fs::path& directory) {
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(directory, error);
        // A directory reached again through a symbolic link to one of its ancestors is not rescanned.
        if (!error && !ancestors_.insert(canonical).second) return;
        try {
            scanEntries(directory);
        } catch (const fs::filesystem_error&) {
            // This directory yields nothing; what its subdirectories found stays.
        }
        if (!error) ancestors_.erase(canonical);
    }

private:
    std::set<fs::path> ancestors_;

    void scanEntries(const fs::path& directory) {
        FoundDescription best{Kind::None, {}, {}};
        for (const auto& entry : entriesInNameOrder(directory)) {
            if (entry.is_directory()) {
                scan(entry.path());
                continue;
            }
            const Kind kind = kindOf(entry.path(), best.kind);
            if (kind != Kind::None) best = {kind, entry.path().u8string(), directory.u8string() + "/"};
        }
        if (best.kind != Kind::None) found.push_back(std::move(best));
    }
};

}  // namespace

bool walkEffectDescriptions(const char* root, const DescriptionCallback& callback) {
    if (!root) return false;
    const fs::path rootPath = fs::u8path(root);
    std::error_code error;
    const fs::file_status status = fs::status(rootPath, error);
    if (status.type() == fs::file_type::none || status.type() == fs::file_type::not_found) return false;
    if (!fs::is_directory(status)) return true;

    DescriptionScan scan;
    scan.scan(rootPath);
    for (auto& item : scan.found) callback(item.kind, std::move(item.file), std::move(item.folder));
    return true;
}

NLEFilterInfoPtr loadConfFromFolder(const char* folder) {
    if (!folder) return nullptr;
    const std::wstring wideFolder = platform::utf8ToWide(folder);
    const auto entries = platform::listFolder(wideFolder);
    if (!entries) return nullptr;
    std::wstring candidate;
    for (const auto& entry : *entries) {
        if (!entry.isDirectory && entry.name.find(L".conf") != std::wstring::npos) {
            candidate = wideFolder + L"/" + entry.name;
        }
    }
    if (candidate.empty()) return nullptr;
    return readConfDescription(platform::wideToUtf8(candidate));
}

}  // namespace tessel
