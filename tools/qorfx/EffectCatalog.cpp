#include "tools/qorfx/EffectCatalog.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

namespace qorfx {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// GUID -> effect folder, from the description files anywhere in the effect pack.
std::map<std::string, std::filesystem::path> effectFolders(const std::string& effectFolder) {
    std::map<std::string, std::filesystem::path> folders;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(effectFolder, error)) {
        if (entry.path().filename() != "description.json") continue;
        std::ifstream file(entry.path());
        const auto root = nlohmann::json::parse(file, nullptr, false);
        const auto guid = root.is_object() ? root.find("GUID") : root.end();
        if (guid != root.end() && guid->is_string()) folders[guid->get<std::string>()] = entry.path().parent_path();
    }
    return folders;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

}  // namespace

EffectCatalog::EffectCatalog(ModuleHost& host, const std::string& effectFolder) {
    const auto folders = effectFolders(effectFolder);
    const auto& effects = host.registrar().effects;
    for (std::size_t i = 0; i < effects.size(); ++i) {
        CatalogEntry entry{static_cast<int>(i), &effects[i], {}, {}, static_cast<bool>(host.create(effects[i].guid, 0))};
        const auto folder = folders.find(effects[i].guid);
        if (folder != folders.end()) {
            entry.folder = folder->second.filename().string();
            entry.folderPath = folder->second.string();
        }
        entries_.push_back(std::move(entry));
    }
}

const CatalogEntry* EffectCatalog::find(const std::string& query) const {
    const std::string wanted = lower(query);
    // A GUID registered twice is created from its later description, so the last match wins.
    const CatalogEntry* match = nullptr;
    for (const auto& entry : entries_) {
        if (lower(entry.effect->guid) == wanted || lower(entry.effect->name) == wanted ||
            (!entry.folder.empty() && lower(entry.folder) == wanted)) {
            match = &entry;
        }
    }
    return match;
}

std::vector<std::string> EffectCatalog::closeMatches(const std::string& query) const {
    const std::string wanted = lower(query);
    std::vector<std::string> matches;
    for (const auto& entry : entries_) {
        for (const std::string& candidate : {entry.effect->name, entry.folder}) {
            const std::string name = lower(candidate);
            if (name.empty()) continue;
            const bool contains = wanted.size() >= 3 && name.find(wanted) != std::string::npos;
            if (contains || editDistance(name, wanted) <= std::max<std::size_t>(2, wanted.size() / 4)) {
                matches.push_back(entry.folder.empty() ? entry.effect->name : entry.folder);
                break;
            }
        }
    }
    return matches;
}

std::string fileNameFor(const CatalogEntry& entry) {
    if (!entry.folder.empty()) return entry.folder;
    std::string name;
    for (const char c : entry.effect->name) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    }
    return name.empty() ? entry.effect->guid : name;
}

}  // namespace qorfx
