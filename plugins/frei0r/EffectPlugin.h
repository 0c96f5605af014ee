#pragma once
// One effect of the module presented as a frei0r plug-in: its metadata in frei0r's terms, the
// f0r_init / f0r_deinit references to the shared module session, and its instances.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plugins/frei0r/Frei0rApi.h"

#include "plugins/frei0r/Frei0rParam.h"
#include "plugins/frei0r/ModuleSession.h"

namespace qorfrei0r {

// What a plug-in file knows about itself; everything else it learns from the module.
struct PluginIdentity {
    const char* folder;    // the effect's folder in the effect pack
    const char* fileName;  // the plug-in's file name without ".so", for messages
    int pluginType;        // F0R_PLUGIN_TYPE_FILTER, or F0R_PLUGIN_TYPE_MIXER2 for a second picture
    bool windowOutput;     // the effect draws a window of its second input rather than the whole frame
};

class EffectInstance;

class QOR_FREI0R_API EffectPlugin {
public:
    explicit EffectPlugin(PluginIdentity identity) : identity_(identity) {}

    // Starts the module (first reference of the process) and checks that it can create the
    // effect; on failure says why on stderr and returns false.
    bool init();
    void deinit();

    void pluginInfo(f0r_plugin_info_t* info);
    void paramInfo(f0r_param_info_t* info, int index);

    // A new instance for frames of width x height, or null (said on stderr) when there is none.
    EffectInstance* construct(unsigned width, unsigned height);

    const PluginIdentity& identity() const { return identity_; }
    const std::vector<Frei0rParam>& params() const { return params_; }

private:
    // Reads the effect's announcement once, starting the module for the time it takes if no
    // reference is held yet (hosts may ask for metadata before f0r_init).
    void describe();
    std::string guid() {
        describe();
        return guid_;
    }
    void complain(const std::string& problem) const;

    const PluginIdentity identity_;
    std::once_flag described_;
    std::string name_;
    std::string explanation_;
    std::string guid_;
    std::vector<Frei0rParam> params_;

    std::mutex initLock_;
    std::vector<SessionReference> initReferences_;
};

}  // namespace qorfrei0r
