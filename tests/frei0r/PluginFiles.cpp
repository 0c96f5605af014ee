#include "PluginFiles.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "support/TestSupport.h"
#include "tools/qorfx/EffectCatalog.h"
#include "tools/qorfx/ModuleHost.h"

namespace qortest {

namespace {

const std::string kEffectFolder = std::string(QOR_SOURCE_DIR) + "/effects/qor_effect/plugin/CommonFx";

}  // namespace

std::string pluginPath(const std::string& effectFolder) {
    std::string name = "qor_" + effectFolder;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::string(QOR_FREI0R_DIR) + "/" + name + ".so";
}

PluginFile::PluginFile(const std::string& effectFolder)
    : handle_(dlopen(pluginPath(effectFolder).c_str(), RTLD_NOW | RTLD_LOCAL)) {
    const auto entry = [this](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(handle_ ? dlsym(handle_, name) : nullptr);
    };
    entry(init, "f0r_init");
    entry(deinit, "f0r_deinit");
    entry(pluginInfo, "f0r_get_plugin_info");
    entry(paramInfo, "f0r_get_param_info");
    entry(construct, "f0r_construct");
    entry(destruct, "f0r_destruct");
    entry(setParam, "f0r_set_param_value");
    entry(getParam, "f0r_get_param_value");
    entry(update, "f0r_update");
    entry(update2, "f0r_update2");
}

PluginFile::~PluginFile() {
    if (handle_) dlclose(handle_);
}

std::vector<std::string> pluginFolders() {
    std::vector<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(kEffectFolder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ReservedEffect", 0) != 0) folders.push_back(name);
    }
    return folders;
}

const std::map<std::string, qorfx::EffectAnnouncement>& creatableEffects() {
    static const auto effects = [] {
        // A copy, so that starting and shutting it down leaves the plug-ins' module untouched.
        const TempFolder copy;
        const std::string module = copy.path() + "/module.qor";
        std::filesystem::copy_file(QOR_MODULE_PATH, module);
        qorfx::ModuleHost host({std::string(QOR_SOURCE_DIR) + "/effects", copy.path()});
        std::string error;
        std::map<std::string, qorfx::EffectAnnouncement> found;
        if (!host.load(module, error) || host.startup() != 0) return found;
        host.registerAll();
        const qorfx::EffectCatalog catalog(host, kEffectFolder);
        for (const auto& entry : catalog.entries()) {
            if (entry.creatable) found[entry.folder] = *entry.effect;
        }
        return found;
    }();
    return effects;
}

bool moduleLoaded() {
    const std::string module = std::string(QOR_FREI0R_DIR) + "/../modules/qorCommonFxPlugin.qor";
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle != nullptr;
}

}  // namespace qortest
