#include "plugins/qorCommonFxPlugin/EffectRegistry.h"

#include <exception>

#include <nlohmann/json.hpp>

#include "framework/ConfDescription.h"
#include "framework/DescriptionJson.h"
#include "framework/DescriptionParams.h"
#include "plugins/qorCommonFxPlugin/AiBridge.h"
#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"
#include "plugins/qorCommonFxPlugin/HostSuites.h"

namespace tessel::qorCommonFxPlugin {

namespace {

std::unique_ptr<EffectRegistry>& registrySlot() {
    static std::unique_ptr<EffectRegistry> registry;
    return registry;
}

std::once_flag& registryOnce() {
    static std::once_flag once;
    return once;
}

// "ALGORITHM_TYPE": "256" marks an effect that needs the skin detector; any other value, of any
// JSON type, does not.
bool needsSkinDetection(const nlohmann::json& root) {
    const auto found = root.find("ALGORITHM_TYPE");
    return found != root.end() && found->is_string() && found->get<std::string>() == "256";
}

}  // namespace

EffectRegistry* EffectRegistry::instance() {
    std::call_once(registryOnce(), [] {
        auto registry = std::make_unique<EffectRegistry>();
        bringUpAiBridge();
        registrySlot() = std::move(registry);
    });
    return registrySlot().get();
}

void EffectRegistry::shutdown() {
    std::unique_ptr<EffectRegistry> registry = std::move(registrySlot());
    if (registry) {
        for (auto& entry : registry->byGuid_) entry.second.reset();
    }
}

void EffectRegistry::insert(NLEFilterInfoPtr info) {
    if (!info) return;
    std::lock_guard<std::recursive_mutex> guard(insertLock_);
    byGuid_[info->GetGUID()] = info;
    ordered_.push_back(std::move(info));
}

NLEFilterInfoPtr EffectRegistry::find(const char* guid) const {
    if (!guid) return nullptr;
    const auto found = byGuid_.find(guid);
    return found == byGuid_.end() ? nullptr : found->second;
}

NLEFilterInfoPtr EffectRegistry::at(std::size_t index) const {
    return index < ordered_.size() ? ordered_[index] : nullptr;
}

int32_t EffectRegistry::builtinTypeOf(const char* guid) {
    if (!guid) return 0;
    const auto found = BuiltinEffectTypes.find(guid);
    return found == BuiltinEffectTypes.end() ? 0 : found->second;
}

void EffectRegistry::onDescriptionFound(_EffectFileType kind, std::string file, std::string folder) {
    nlohmann::json root;
    if (!readJsonFile(file, root)) {
        // "filter.xml" is never JSON; a JSON description that does not parse is a fault worth naming.
        if (kind != _EffectFileType::FilterXml) {
            hostLog(LogLevel::Diagnostic, "Skipped effect description %s: it cannot be read or is not valid JSON",
                    file.c_str());
        }
        return;
    }
    NLEFilterInfoPtr info;
    try {
        info = buildDescriptionJson(root, folder);
    } catch (const std::exception& error) {
        hostLog(LogLevel::Diagnostic, "Skipped effect description %s: %s", file.c_str(), error.what());
        return;
    }
    if (!info) return;
    if (needsSkinDetection(root)) info->SetDependentEffects({kSkinDetectionGuid});
    const int32_t type = builtinTypeOf(info->GetGUID().c_str());
    if (type == 0) return;
    info->SetBuiltin(1);
    info->SetAlgorithmType(type);
    insert(std::move(info));
}

NLEFilterInfoPtr EffectRegistry::loadConfFolder(const char* folder) {
    try {
        return loadConfFromFolder(folder);
    } catch (const std::exception& error) {
        hostLog(LogLevel::Diagnostic, "Skipped effect description in %s: %s", folder, error.what());
        return nullptr;
    }
}

}  // namespace tessel::qorCommonFxPlugin
