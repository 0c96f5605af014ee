#pragma once
// The built frei0r plug-ins as a host sees them: files opened with dlopen and their entry points,
// and the effects the module itself creates, to compare them with.

#include <map>
#include <string>
#include <vector>

#include "plugins/frei0r/Frei0rApi.h"
#include "tools/qorfx/HostRegistrar.h"

namespace qortest {

class PluginFile {
public:
    explicit PluginFile(const std::string& effectFolder);
    ~PluginFile();
    PluginFile(const PluginFile&) = delete;
    PluginFile& operator=(const PluginFile&) = delete;

    bool isOpen() const { return handle_ != nullptr; }

    decltype(&f0r_init) init;
    decltype(&f0r_deinit) deinit;
    decltype(&f0r_get_plugin_info) pluginInfo;
    decltype(&f0r_get_param_info) paramInfo;
    decltype(&f0r_construct) construct;
    decltype(&f0r_destruct) destruct;
    decltype(&f0r_set_param_value) setParam;
    decltype(&f0r_get_param_value) getParam;
    decltype(&f0r_update) update;
    decltype(&f0r_update2) update2;

private:
    void* handle_;
};

// build/frei0r-1/qor_<folder in lower case>.so
std::string pluginPath(const std::string& effectFolder);

// Every effect folder of the bundled pack but the reserved ones.
std::vector<std::string> pluginFolders();

// What the module announces for each effect it creates, by folder; asked of a private copy of it.
const std::map<std::string, qorfx::EffectAnnouncement>& creatableEffects();

// True while the effect module is loaded in this process.
bool moduleLoaded();

}  // namespace qortest
