#include "module/LoadedModule.h"

#include <filesystem>
#include <stdexcept>

namespace qortest {

LoadedModule::LoadedModule(const std::string& effectRoot, const std::string& aiModule) {
    const std::string copy = copyFolder_.path() + "/qorCommonFxPlugin.qor";
    std::filesystem::copy_file(QOR_MODULE_PATH, copy);
    if (!aiModule.empty()) std::filesystem::copy_file(aiModule, aiModulePath());
    host_ = std::make_unique<qorfx::ModuleHost>(qorfx::HostPaths{effectRoot, copyFolder_.path()});
    host_->util().echoLevel = 100;
    std::string error;
    if (!host_->load(copy, error)) throw std::runtime_error(error);
}

int32_t LoadedModule::startAndRegister() {
    const int32_t result = host_->startup();
    host_->registerAll();
    return result;
}

std::string bundledEffectRoot() { return std::string(QOR_SOURCE_DIR) + "/effects"; }

std::string writeDescription(const TempFolder& root, const std::string& effect, const std::string& json) {
    const std::string folder = "qor_effect/plugin/CommonFx/" + effect;
    root.write(folder + "/description.json", json);
    return root.path() + "/" + folder;
}

}  // namespace qortest
