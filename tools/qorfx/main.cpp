// qorfx: the reference host. It loads the effect module exactly as a video editor does and
// applies its effects to pictures.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <opencv2/imgproc.hpp>

#include "tools/qorfx/EffectCatalog.h"
#include "tools/qorfx/ModuleHost.h"
#include "tools/qorfx/ParamText.h"
#include "tools/qorfx/Pictures.h"
#include "tools/qorfx/ReferenceTargets.h"
#include "tools/qorfx/Renderer.h"
#include "tools/qorfx/SkinMask.h"

namespace fs = std::filesystem;
using namespace qorfx;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitRenderFailed = 4;
constexpr const char* kModuleFile = "qorCommonFxPlugin.qor";
constexpr const char* kEffectSubfolder = "/qor_effect/plugin/CommonFx";

fs::path executableFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : self.parent_path();
}

struct Options {
    std::string module;
    std::string effects;
    std::string aiFolder;
    bool verbose = false;
};

int fail(const std::string& message) {
    std::cerr << "qorfx: " << message << "\n";
    return kExitError;
}

// The loaded module with every effect registered.
class Session {
public:
    explicit Session(const Options& options)
        : options_(options), host_({options.effects, options.aiFolder}) {
        host_.util().echoLevel = options.verbose ? 2 : 4;
    }

    bool open() {
        if (!fs::exists(options_.module)) {
            error_ = "cannot find the effect module " + options_.module + "; build it first or point --module at it";
            return false;
        }
        if (!host_.load(options_.module, error_)) return false;
        host_.startup();
        host_.registerAll();
        catalog_ = std::make_unique<EffectCatalog>(host_.registrar().effects, options_.effects + kEffectSubfolder);
        if (catalog_->entries().empty()) {
            error_ = "the module found no effects below " + options_.effects + kEffectSubfolder +
                     "; point --effects at the folder that holds qor_effect/plugin/CommonFx";
            return false;
        }
        return true;
    }

    // The effect named by `query`, or null after printing what the user may have meant.
    const CatalogEntry* findEffect(const std::string& query) {
        if (const CatalogEntry* entry = catalog_->find(query)) return entry;
        std::string message = "no effect is called \"" + query + "\"";
        const auto matches = catalog_->closeMatches(query);
        if (!matches.empty()) {
            message += "; did you mean";
            for (std::size_t i = 0; i < matches.size(); ++i) message += (i ? ", " : " ") + matches[i];
            message += "?";
        }
        fail(message + " (`qorfx list` shows them all)");
        return nullptr;
    }

    const std::string& error() const { return error_; }
    ModuleHost& host() { return host_; }
    const EffectCatalog& catalog() const { return *catalog_; }

private:
    Options options_;
    ModuleHost host_;
    std::unique_ptr<EffectCatalog> catalog_;
    std::string error_;
};

int listEffects(Session& session) {
    std::printf("%-5s %-32s %-38s %-10s %s\n", "index", "name", "GUID", "flags", "params");
    for (const auto& entry : session.catalog().entries()) {
        const auto& effect = *entry.effect;
        std::printf("%-5d %-32s %-38s 0x%-8X %zu\n", entry.index, effect.name.c_str(), effect.guid.c_str(),
                    effect.flags, effect.params.size());
    }
    return kExitOk;
}

int describeEffect(Session& session, const std::string& query) {
    const CatalogEntry* entry = session.findEffect(query);
    if (!entry) return kExitError;
    const auto& effect = *entry->effect;
    std::printf("%s\n  GUID    %s\n  folder  %s\n  flags   0x%X\n", effect.name.c_str(), effect.guid.c_str(),
                entry->folder.empty() ? "(unknown)" : entry->folder.c_str(), effect.flags);
    if (effect.params.empty()) std::printf("  no parameters\n");
    else std::printf("\n  %-5s %-28s %-12s %-24s %-14s %s\n", "index", "name", "widget", "range", "default", "shown");
    for (const auto& param : effect.params) {
        const std::string range = rangeText(param);
        const char* shown = param.widget == ParamWidget::String || param.widget == ParamWidget::ListMask ||
                                    param.widget == ParamWidget::NinePalaces || param.widget == ParamWidget::ListMosaic
                                ? "-"
                                : param.visibility() == 1 ? "hidden" : "yes";
        std::printf("  %-5d %-28s %-12s %-24s %-14s %s\n", param.index, param.name.c_str(), widgetName(param.widget),
                    range.c_str(), defaultText(param).c_str(), shown);
    }
    for (const auto& guid : effect.dependentEffects) std::printf("  needs   %s\n", guid.c_str());
    return kExitOk;
}

struct ApplyOptions {
    std::string effect;
    std::string input;
    std::string output;
    std::string second;
    std::string reference;
    std::vector<std::string> params;
    std::string size;
    std::string aiResult;
    int64_t time = 0;
    int32_t totalTime = 0;
};

bool parseSize(const std::string& text, cv::Size& size) {
    int width = 0, height = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) != 2 || width <= 0 || height <= 0) return false;
    size = {width, height};
    return true;
}

// Fills request.values from NAME=VALUE texts; false after printing what was wrong.
bool readParamArguments(const EffectAnnouncement& effect, const std::vector<std::string>& arguments,
                        RenderRequest& request) {
    for (const auto& argument : arguments) {
        const auto equals = argument.find('=');
        if (equals == std::string::npos || equals == 0) {
            fail("parameter \"" + argument + "\" must be written NAME=VALUE");
            return false;
        }
        const std::string name = argument.substr(0, equals);
        const ParamAnnouncement* param = effect.findParam(name);
        if (!param) {
            std::string known;
            for (const auto& p : effect.params) known += (known.empty() ? "" : ", ") + p.name;
            fail(effect.name + " has no parameter \"" + name + "\"; its parameters are: " +
                 (known.empty() ? "(none)" : known));
            return false;
        }
        std::string error;
        const auto parsed = parseParamValue(*param, argument.substr(equals + 1), error);
        if (!parsed) {
            fail(error);
            return false;
        }
        if (!parsed->warning.empty()) std::cerr << "qorfx: warning: " << parsed->warning << "\n";
        request.values[name] = parsed->value;
    }
    return true;
}

int applyEffect(Session& session, const ApplyOptions& options) {
    const CatalogEntry* entry = session.findEffect(options.effect);
    if (!entry) return kExitError;
    if (!canWritePicture(options.output)) {
        return fail("cannot write " + options.output + ": use a .png, .jpg, .tif, .webp or .bmp file name");
    }
    RenderRequest request;
    if (!readParamArguments(*entry->effect, options.params, request)) return kExitError;
    if (!options.size.empty() && !parseSize(options.size, request.outputSize)) {
        return fail("--size \"" + options.size + "\" must be WIDTHxHEIGHT, for example 1080x1920");
    }
    std::string error;
    if (!options.reference.empty() &&
        !addReferenceTargets(entry->effect->guid, entry->effect->name, options.reference, request.values, error)) {
        return fail(error);
    }
    request.input = readPicture(options.input, error);
    if (request.input.empty()) return fail(error);
    if (!options.second.empty()) {
        request.second = readPicture(options.second, error);
        if (request.second.empty()) return fail(error);
    }
    if (!options.aiResult.empty()) {
        request.aiResult = readMask(options.aiResult, error);
        if (request.aiResult.empty()) return fail(error);
    }
    request.time = options.time;
    request.totalTime = options.totalTime;

    const RenderResult result = renderPicture(session.host(), *entry, request);
    if (result.createStatus != 0) {
        return fail(entry->effect->name + " cannot be created (CreateQOREffect returned " +
                    std::to_string(result.createStatus) + "): the module registers it but has no effect class for it");
    }
    if (result.renderStatus != 0) {
        std::cerr << "qorfx: " << entry->effect->name << " failed to render (Render returned " << result.renderStatus
                  << "): the effect refused the frame; check that the inputs it needs are given (--second) and that "
                     "their sizes fit. Nothing was written.\n";
        return kExitRenderFailed;
    }
    if (!writePicture(options.output, result.output, error)) return fail(error);
    std::cout << "wrote " << options.output << "\n";
    if (cv::countNonZero(result.output.reshape(1)) == 0) {
        std::cerr << "qorfx: note: the result is fully transparent black; some effects draw only when the output has "
                     "the size they expect (Motion: the window's size, set with --size WIDTHxHEIGHT) or when a "
                     "parameter is in range (`qorfx describe "
                  << options.effect << "`)\n";
    }
    return kExitOk;
}

int renderGallery(Session& session, const std::string& input, const std::string& second, const std::string& folder) {
    std::string error;
    RenderRequest request;
    request.input = readPicture(input, error);
    if (request.input.empty()) return fail(error);
    if (!second.empty()) {
        request.second = readPicture(second, error);
        if (request.second.empty()) return fail(error);
    }
    std::error_code made;
    fs::create_directories(folder, made);
    if (made) return fail("cannot create the folder " + folder + ": " + made.message());

    int rendered = 0, failed = 0;
    for (const auto& entry : session.catalog().entries()) {
        const RenderResult result = renderPicture(session.host(), entry, request);
        const std::string path = (fs::path(folder) / (fileNameFor(entry) + ".png")).string();
        if (result.createStatus != 0) {
            std::printf("  %-32s no effect class in this build\n", entry.effect->name.c_str());
        } else if (result.renderStatus != 0) {
            std::printf("  %-32s render failed (%d)\n", entry.effect->name.c_str(), result.renderStatus);
            ++failed;
        } else if (!writePicture(path, result.output, error)) {
            return fail(error);
        } else {
            std::printf("  %-32s %s\n", entry.effect->name.c_str(), path.c_str());
            ++rendered;
        }
    }
    std::printf("%d effects rendered into %s, %d failed\n", rendered, folder.c_str(), failed);
    return failed == 0 ? kExitOk : kExitRenderFailed;
}

// Writes the skin mask of `input` as a grey picture: white where the skin detector finds skin.
int writeSkinMask(const Options& options, const std::string& input, const std::string& output) {
    if (!canWritePicture(output)) return fail("cannot write " + output + ": use a .png, .jpg, .tif, .webp or .bmp file name");
    std::string error;
    const cv::Mat picture = readPicture(input, error);
    if (picture.empty()) return fail(error);
    const cv::Mat mask = detectSkinMask(options.aiFolder, picture, error);
    if (mask.empty()) return fail(error);
    cv::Mat grey;
    cv::cvtColor(mask, grey, cv::COLOR_GRAY2BGRA);
    if (!writePicture(output, grey, error)) return fail(error);
    std::cout << "wrote " << output << "\n";
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path here = executableFolder();
    Options options;
    options.module = (here / ".." / "modules" / kModuleFile).lexically_normal().string();
    options.effects = QORFX_DEFAULT_EFFECT_ROOT;
    options.aiFolder = (here / ".." / "modules").lexically_normal().string();

    CLI::App app{"qorfx - applies the effects of the qorCommonFxPlugin module to pictures, as a video editor would"};
    app.require_subcommand(1);
    app.option_defaults()->always_capture_default();
    app.add_option("--module", options.module, "the effect module to load");
    app.add_option("--effects", options.effects, "effect root: the folder holding qor_effect/plugin/CommonFx");
    app.add_option("--ai-dir", options.aiFolder, "the folder of the AI module");
    app.add_flag("-v,--verbose", options.verbose, "show the module's diagnostic messages");

    app.add_subcommand("list", "list the registered effects");

    std::string describeQuery;
    auto* describe = app.add_subcommand("describe", "show the parameters of an effect");
    describe->add_option("EFFECT", describeQuery, "GUID, display name or folder name")->required();

    ApplyOptions apply;
    auto* applyCommand = app.add_subcommand("apply", "render a picture through an effect");
    applyCommand->add_option("EFFECT", apply.effect, "GUID, display name or folder name")->required();
    applyCommand->add_option("INPUT", apply.input, "the picture to process")->required();
    applyCommand->add_option("OUTPUT", apply.output, "where to write the result (.png, .jpg, .tif, .webp)")->required();
    applyCommand->add_option("-p,--param", apply.params, "NAME=VALUE, repeatable; `qorfx describe` lists them");
    applyCommand->add_option("--second", apply.second, "second input (background, layer or matte), scaled to the input's size");
    applyCommand->add_option("--reference", apply.reference,
                             "colour matching: take the colours of this picture (MatchColor, MatchColorV2)");
    applyCommand->add_option("--size", apply.size, "output size WIDTHxHEIGHT (default: the input's)");
    applyCommand->add_option("--time", apply.time, "current time handed to the effect");
    applyCommand->add_option("--total", apply.totalTime, "total time handed to the effect");
    applyCommand->add_option("--ai-result", apply.aiResult, "a skin mask (white is skin) the host hands the AI effects");

    std::string skinInput, skinOutput;
    auto* detectSkin = app.add_subcommand("detect-skin", "write the skin mask the AI module finds (white is skin)");
    detectSkin->add_option("INPUT", skinInput, "the picture to look at")->required();
    detectSkin->add_option("MASK", skinOutput, "where to write the mask (.png, .jpg, .tif, .webp)")->required();

    std::string galleryInput, gallerySecond, galleryFolder;
    auto* gallery = app.add_subcommand("gallery", "render a picture through every effect with its defaults");
    gallery->add_option("INPUT", galleryInput, "the picture to process")->required();
    gallery->add_option("FOLDER", galleryFolder, "where to write one PNG per effect")->required();
    gallery->add_option("--second", gallerySecond, "second input for the effects that use one");

    CLI11_PARSE(app, argc, argv);
    if (app.got_subcommand(detectSkin)) return writeSkinMask(options, skinInput, skinOutput);

    Session session(options);
    if (!session.open()) return fail(session.error());
    if (app.got_subcommand("list")) return listEffects(session);
    if (app.got_subcommand(describe)) return describeEffect(session, describeQuery);
    if (app.got_subcommand(applyCommand)) return applyEffect(session, apply);
    return renderGallery(session, galleryInput, gallerySecond, galleryFolder);
}
