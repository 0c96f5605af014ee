#pragma once
// What every subcommand shares: the global options, the loaded module with its effects, and the
// way errors reach the user (a "qorfx:" line on stderr and exit code 1).

#include <memory>
#include <string>

#include "tools/qorfx/EffectCatalog.h"
#include "tools/qorfx/ModuleHost.h"

namespace qorfx {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitRenderFailed = 4;
constexpr int kExitInterrupted = 130;

constexpr const char* kEffectSubfolder = "qor_effect/plugin/CommonFx";

struct Options {
    std::string module;
    std::string effects;
    std::string aiFolder;
    bool verbose = false;
};

// The module, AI folder and effect root of this installation, found beside the executable: the
// build tree's bin/, modules/ and effects/, or an installed bin/, lib/qorCommonFxPlugin/ and
// share/qorCommonFxPlugin/effects/.
Options defaultOptions();

// Prints "qorfx: MESSAGE" on stderr and returns kExitError.
int fail(const std::string& message);
void warn(const std::string& message);

// The loaded module with every effect registered.
class Session {
public:
    explicit Session(const Options& options);

    // Loads the module and registers its effects; false with the reason in error().
    bool open();

    // The effect named by `query`, or null after printing what the user may have meant.
    const CatalogEntry* findEffect(const std::string& query) const;

    const std::string& error() const { return error_; }
    const Options& options() const { return options_; }
    std::string effectFolder() const;
    ModuleHost& host() { return host_; }
    const EffectCatalog& catalog() const { return *catalog_; }

private:
    Options options_;
    ModuleHost host_;
    std::unique_ptr<EffectCatalog> catalog_;
    std::string error_;
};

}  // namespace qorfx
