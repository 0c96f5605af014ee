#include "plugins/frei0r/ModuleSession.h"

#include <dlfcn.h>

#include <filesystem>

namespace qorfrei0r {

namespace {

constexpr const char* kModuleFile = "qorCommonFxPlugin.qor";
constexpr const char* kEffectFolder = "qor_effect/plugin/CommonFx";

std::filesystem::path ownFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownFolder), &info) == 0 || !info.dli_fname) return {};
    return std::filesystem::absolute(info.dli_fname).parent_path();
}

}  // namespace

ModuleSession& ModuleSession::instance() {
    static ModuleSession session;
    return session;
}

SessionPaths ModuleSession::defaultPaths() {
    const std::filesystem::path folder = ownFolder();
    return {(folder / kModuleFile).lexically_normal().string(),
            (folder / QOR_FREI0R_EFFECT_ROOT).lexically_normal().string(), folder.string()};
}

bool ModuleSession::acquire(std::string& error) {
    std::lock_guard<std::mutex> guard(lock_);
    if (references_ == 0 && !start(error)) return false;
    ++references_;
    return true;
}

void ModuleSession::release() {
    std::lock_guard<std::mutex> guard(lock_);
    if (references_ == 0 || --references_ > 0) return;
    // The module builds its registry once per load, so a later start needs a fresh load.
    catalog_.reset();
    host_.reset();
}

bool ModuleSession::start(std::string& error) {
    const SessionPaths paths = defaultPaths();
    const std::string effectFolder = paths.effectRoot + "/" + kEffectFolder;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(paths.modulePath, ignored)) {
        error = "the effect module " + paths.modulePath + " was not found; keep the plug-ins where they were built or installed";
        return false;
    }
    if (!std::filesystem::is_directory(effectFolder, ignored)) {
        error = "the effect pack " + effectFolder + " was not found; keep the plug-ins where they were built or installed";
        return false;
    }
    auto host = std::make_unique<qorfx::ModuleHost>(qorfx::HostPaths{paths.effectRoot, paths.aiFolder});
    host->util().echoPrefix = "qor frei0r";
    host->util().keepMessages = false;
    if (!host->load(paths.modulePath, error)) return false;
    if (host->startup() != 0) {
        error = "the effect module " + paths.modulePath + " failed to start";
        return false;
    }
    host->registerAll();
    catalog_ = std::make_unique<qorfx::EffectCatalog>(*host, effectFolder);
    host_ = std::move(host);
    return true;
}

const qorfx::CatalogEntry* ModuleSession::find(const std::string& folder) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (!catalog_) return nullptr;
    for (const auto& entry : catalog_->entries()) {
        if (entry.folder == folder) return &entry;
    }
    return nullptr;
}

qorfx::EffectHandle ModuleSession::create(const std::string& guid) {
    std::lock_guard<std::mutex> guard(lock_);
    return host_ ? host_->create(guid, 0) : qorfx::EffectHandle();
}

}  // namespace qorfrei0r
