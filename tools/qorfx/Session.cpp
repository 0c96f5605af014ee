#include "tools/qorfx/Session.h"

#include <filesystem>
#include <initializer_list>
#include <iostream>

namespace fs = std::filesystem;

namespace qorfx {

namespace {


fs::path executableFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : self.parent_path();
}

// The first candidate below `base` that exists; the first one when none does, so that messages
// name the place where the file was expected.
fs::path firstExisting(const fs::path& base, std::initializer_list<const char*> candidates) {
    for (const char* candidate : candidates) {
        const fs::path path = (base / candidate).lexically_normal();
        std::error_code error;
        const fs::path real = fs::canonical(path, error);
        if (!error) return real;
    }
    return (base / *candidates.begin()).lexically_normal();
}

}  // namespace

Options defaultOptions() {
    const fs::path here = executableFolder();
    Options options;
    const fs::path module = firstExisting(here, {"../modules/qorCommonFxPlugin.qor",
                                                 "../lib/qorfx/modules/qorCommonFxPlugin.qor"});
    options.module = module.string();
    options.aiFolder = module.parent_path().string();
    options.effects = firstExisting(here, {"../effects", "../lib/qorfx/effects"}).string();
    return options;
}

int fail(const std::string& message) {
    std::cerr << "qorfx: " << message << "\n";
    return kExitError;
}

void warn(const std::string& message) { std::cerr << "qorfx: warning: " << message << "\n"; }

Session::Session(const Options& options) : options_(options), host_({options.effects, options.aiFolder}) {
    host_.util().echoLevel = options.verbose ? 2 : 4;
}

std::string Session::effectFolder() const { return (fs::path(options_.effects) / kEffectSubfolder).string(); }

bool Session::open() {
    if (!fs::exists(options_.module)) {
        error_ = "cannot find the effect module " + options_.module + "; build it first or point --module at it";
        return false;
    }
    if (!host_.load(options_.module, error_)) return false;
    host_.startup();
    host_.registerAll();
    catalog_ = std::make_unique<EffectCatalog>(host_, effectFolder());
    if (catalog_->entries().empty()) {
        error_ = "the module found no effects below " + effectFolder() +
                 "; point --effects at the folder that holds " + kEffectSubfolder;
        return false;
    }
    return true;
}

const CatalogEntry* Session::findEffect(const std::string& query) const {
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

}  // namespace qorfx
