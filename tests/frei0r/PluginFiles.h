#pragma once
// The built frei0r plug-ins as a host sees them: files opened with dlopen and their entry points,
// plus the effects the module itself can create, to compare them against.

#include <map>
#include <string>
#include <vector>

#include "plugins/frei0r/Frei0rApi.h"
#include "tools/qorfx/HostRegistrar.h"

namespace qortest {

class PluginFile {
public:
    // Opens build/frei0r-1/qor_<folder in lower case>.so.
    explicit PluginFile(const std::string& effectFolder);
    ~PluginFile();
    PluginFile(const PluginFile&) = delete;
    PluginFile& operator=(const PluginFile&) = delete;

    bool isOpen() const { return handle_ != nullptr; }

    decltype(&f0r_init) init = nullptr;
    decltype(&f0r_deinit) deinit = nullptr;
    decltype(&f0r_get_plugin_info) pluginInfo = nullptr;
    decltype(&f0r_get_param_info) paramInfo = nullptr;
    decltype(&f0r_construct) construct = nullptr;
    decltype(&f0r_destruct) destruct = nullptr;
    decltype(&f0r_set_param_value) setParam = nullptr;
    decltype(&f0r_get_param_value) getParam = nullptr;
    decltype(&f0r_update) update = nullptr;
    decltype(&f0r_update2) update2 = nullptr;

private:
    void* handle_ = nullptr;
};

std::string pluginPath(const std::string& effectFolder);

// Every effect folder of the bundled pack that should have a plug-in (all but the reserved ones).
std::vector<std::string> pluginFolders();

// What the module announces for each effect it can create, by effect folder; asked of a private
// copy of the module.
const std::map<std::string, qorfx::EffectAnnouncement>& creatableEffects();

// True while the effect module is loaded in this process.
bool moduleLoaded();

}  // namespace qortest
