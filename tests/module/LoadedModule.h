#pragma once
// The built module loaded through dlopen, as a host loads it. Each instance loads its own copy of
// the module file, so every test starts from a module that has never been started.

#include <memory>
#include <string>

#include "support/TestSupport.h"
#include "tools/qorfx/ModuleHost.h"

namespace qortest {

class LoadedModule {
public:
    // `effectRoot` is what the host answers for the effect root (kind 1). The AI folder (kind 2) is
    // the folder of the module's copy, which holds a copy of `aiModule` when one is given.
    explicit LoadedModule(const std::string& effectRoot, const std::string& aiModule = "");

    qorfx::ModuleHost& host() { return *host_; }
    const qorfx::ModuleEntryPoints& entry() { return host_->entryPoints(); }
    qorfx::HostRegistrar& registrar() { return host_->registrar(); }
    // Start-up followed by registration of every effect.
    int32_t startAndRegister();
    // The copied AI module, as the loaded module sees it.
    std::string aiModulePath() const { return copyFolder_.path() + "/qorAiFilterPlugin.qor"; }

private:
    TempFolder copyFolder_;
    std::unique_ptr<qorfx::ModuleHost> host_;
};

// The bundled effect pack's root (the folder holding qor_effect/plugin/CommonFx).
std::string bundledEffectRoot();

// Writes a description file into an effect tree below `root` and returns the effect folder.
std::string writeDescription(const TempFolder& root, const std::string& effect, const std::string& json);

}  // namespace qortest
