// Start-up over an effect tree the input lays out. The input is a list of entries, each starting
// on a line of its own:
//   @@ folder/sub/description.json    a file; the lines up to the next entry are its content
//   @> folder/link -> other/folder    a symbolic link to another place in the tree
// Paths are kept inside the tree (at most four levels). The tree is walked as StartupQOR walks the
// effect folder, every registered effect is announced to a registrar and created, and rendered on
// a small frame with its description's defaults; every folder is also registered from its .conf
// description as a host's registration from a path does.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "fuzz/FuzzSupport.h"
#include "plugins/qorCommonFxPlugin/EffectRegistry.h"
#include "plugins/qorCommonFxPlugin/ParameterRegistration.h"
#include "plugins/qorCommonFxPlugin/QORCommonEffect.h"
#include "tools/qorfx/FrameContext.h"
#include "tools/qorfx/HostRegistrar.h"

namespace fs = std::filesystem;
using tessel::qorCommonFxPlugin::EffectRegistry;

namespace {

constexpr int kMaxEntries = 24;
constexpr int kMaxDepth = 4;
constexpr std::size_t kMaxNameLength = 24;

// A path below the tree root made of the input's path text: characters outside [A-Za-z0-9._-]
// become "_", and "", "." and ".." components are dropped.
fs::path treePath(const std::string& text) {
    fs::path path;
    int depth = 0;
    std::size_t start = 0;
    while (start <= text.size() && depth < kMaxDepth) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, std::min(end - start, kMaxNameLength));
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') c = '_';
        }
        if (!name.empty() && name != "." && name != "..") {
            path /= name;
            ++depth;
        }
        start = end + 1;
    }
    return path;
}

void layOut(const fs::path& root, const std::string& input) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < input.size() && starts.size() < kMaxEntries;) {
        if (input.compare(at, 3, "@@ ") == 0 || input.compare(at, 3, "@> ") == 0) starts.push_back(at);
        const std::size_t newline = input.find('\n', at);
        if (newline == std::string::npos) break;
        at = newline + 1;
    }
    std::error_code ignored;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t headerEnd = std::min(input.find('\n', starts[i]), input.size());
        const std::string header = input.substr(starts[i] + 3, headerEnd - starts[i] - 3);
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] - 1 : input.size();
        if (input[starts[i] + 1] == '>') {
            const std::size_t arrow = header.find(" -> ");
            const fs::path link = treePath(header.substr(0, arrow));
            if (arrow == std::string::npos || link.empty()) continue;
            fs::create_directories(root / link.parent_path(), ignored);
            fs::create_directory_symlink(root / treePath(header.substr(arrow + 4)), root / link, ignored);
            continue;
        }
        const fs::path file = treePath(header);
        if (file.empty()) continue;
        fs::create_directories(root / file.parent_path(), ignored);
        const std::string content = headerEnd < end ? input.substr(headerEnd + 1, end - headerEnd - 1) : "";
        fuzz::writeFile(root / file, reinterpret_cast<const uint8_t*>(content.data()), content.size());
    }
}

void renderWithDefaults(const tessel::NLEFilterInfoPtr& info) {
    auto filter = EffectRegistry::createFilter(info);
    if (!filter) return;
    tessel::qorCommonFxPlugin::QORCommonEffect effect(info, std::move(filter));
    cv::Mat input(5, 11, CV_8UC4, cv::Scalar(40, 120, 200, 180)), output(5, 11, CV_8UC4);
    qorfx::MatImageBuffer inputBuffer(input), outputBuffer(output);
    qorfx::FrameContext host;  // answers no parameter: the effect renders with the description's defaults
    host.inputs = {&inputBuffer, &inputBuffer};
    host.output = &outputBuffer;
    effect.UpdateParameters(&host);
    effect.Render(&host);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cv::setNumThreads(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fs::path root = fuzz::scratchFolder() / "CommonFx";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::create_directory(root);
    layOut(root, std::string(reinterpret_cast<const char*>(data), size));

    EffectRegistry registry;
    std::vector<std::string> folders;
    tessel::walkEffectDescriptions(root.string().c_str(), [&](tessel::_EffectFileType kind, std::string file,
                                                              std::string folder) {
        folders.push_back(folder);
        registry.onDescriptionFound(kind, std::move(file), std::move(folder));
    });
    for (const std::string& folder : folders) {
        const auto info = registry.loadConfFolder(folder.c_str());
        const int32_t type = info ? EffectRegistry::builtinTypeOf(info->GetGUID().c_str()) : 0;
        if (type == 0) continue;
        info->SetBuiltin(1);
        info->SetAlgorithmType(type);
        registry.insert(info);
    }

    qorfx::HostRegistrar registrar;
    for (std::size_t i = 0; i < registry.count(); ++i) {
        const auto info = registry.at(i);
        tessel::qorCommonFxPlugin::registerDescription(registrar, *info);
        if (info->GetAlgorithmType() != 0) renderWithDefaults(info);
    }
    return 0;
}
