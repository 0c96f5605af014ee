#include "plugins/frei0r/EffectPlugin.h"

#include <cstdio>

#include "plugins/frei0r/EffectInstance.h"

namespace qorfrei0r {

namespace {

constexpr const char* kAuthor = "qorfx";
constexpr int kMajorVersion = 1;
constexpr int kMinorVersion = 0;

std::string inputsNote(const PluginIdentity& identity) {
    if (identity.windowOutput) {
        return " The second input is the canvas; the output is the window of it that the clip occupies, "
               "rendered at the frame size, so only a window as large as the frame (scale 1) is drawn "
               "and any other passes the first input through.";
    }
    if (identity.pluginType == F0R_PLUGIN_TYPE_MIXER2) return " The second input is the effect's second picture.";
    return "";
}

}  // namespace

void EffectPlugin::complain(const std::string& problem) const {
    std::fprintf(stderr, "%s: %s\n", identity_.fileName, problem.c_str());
}

void EffectPlugin::describe() {
    std::call_once(described_, [this] {
        name_ = identity_.folder;
        std::string error;
        const SessionReference reference(error);
        const qorfx::CatalogEntry* entry = reference ? ModuleSession::instance().find(identity_.folder) : nullptr;
        if (!entry) {
            explanation_ = "Unavailable: " + (error.empty() ? "the effect module does not offer this effect" : error);
            return;
        }
        name_ = entry->effect->name;
        guid_ = entry->effect->guid;
        for (const auto& announced : entry->effect->params) params_.emplace_back(announced);
        explanation_ = entry->effect->name + " from the qorCommonFxPlugin effect module." + inputsNote(identity_);
    });
}

bool EffectPlugin::init() {
    std::string error;
    SessionReference reference(error);
    if (!reference) {
        complain("cannot start: " + error);
        return false;
    }
    const std::string effectGuid = guid();
    if (effectGuid.empty() || !ModuleSession::instance().create(effectGuid)) {
        complain("the effect module " + ModuleSession::defaultPaths().modulePath + " cannot create the effect " +
                 identity_.folder + "; this build of the module does not include it");
        return false;
    }
    std::lock_guard<std::mutex> guard(initLock_);
    initReferences_.push_back(std::move(reference));
    return true;
}

void EffectPlugin::deinit() {
    std::lock_guard<std::mutex> guard(initLock_);
    if (!initReferences_.empty()) initReferences_.pop_back();
}

void EffectPlugin::pluginInfo(f0r_plugin_info_t* info) {
    if (!info) return;
    describe();
    info->name = name_.c_str();
    info->author = kAuthor;
    info->plugin_type = identity_.pluginType;
    info->color_model = F0R_COLOR_MODEL_BGRA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = kMajorVersion;
    info->minor_version = kMinorVersion;
    info->num_params = static_cast<int>(params_.size());
    info->explanation = explanation_.c_str();
}

void EffectPlugin::paramInfo(f0r_param_info_t* info, int index) {
    describe();
    if (!info || index < 0 || index >= static_cast<int>(params_.size())) return;
    const Frei0rParam& param = params_[static_cast<std::size_t>(index)];
    info->name = param.name().c_str();
    info->type = param.type();
    info->explanation = param.explanation().c_str();
}

EffectInstance* EffectPlugin::construct(unsigned width, unsigned height) {
    std::string error;
    SessionReference reference(error);
    if (!reference) {
        complain("cannot start: " + error);
        return nullptr;
    }
    qorfx::EffectHandle effect = ModuleSession::instance().create(guid());
    if (!effect) {
        complain(std::string("the effect module cannot create the effect ") + identity_.folder);
        return nullptr;
    }
    return new EffectInstance(*this, std::move(reference), std::move(effect), width, height);
}

}  // namespace qorfrei0r
