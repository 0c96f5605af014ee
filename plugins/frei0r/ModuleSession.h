#pragma once
// The one copy of the effect module a process shares between all of our frei0r plug-ins.
//
// Every plug-in file links this library, so however many of them a host loads there is one
// session: the module is loaded and started by the first reference and shut down and unloaded
// after the last one goes. References are taken by f0r_init and by every live instance, so a host
// that calls f0r_deinit before destroying its instances still renders them safely.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "tools/qorfx/EffectCatalog.h"
#include "tools/qorfx/ModuleHost.h"

#define QOR_FREI0R_API __attribute__((visibility("default")))

namespace qorfrei0r {

// Where a session looks for its files, all relative to the folder of this library.
struct SessionPaths {
    std::string modulePath;   // "qorCommonFxPlugin.qor"
    std::string effectRoot;   // holds qor_effect/plugin/CommonFx
    std::string aiFolder;     // folder of the AI module
};

class QOR_FREI0R_API ModuleSession {
public:
    static ModuleSession& instance();

    // Takes a reference, starting the module on the first one. False with the reason in `error`
    // when the module or the effect pack cannot be found or loaded.
    bool acquire(std::string& error);
    // Gives a reference back; the last one shuts the module down and unloads it.
    void release();

    // The effect announced from folder `folder` of the pack, or null. Valid while referenced.
    const qorfx::CatalogEntry* find(const std::string& folder) const;
    // CreateQOREffect under the session lock; an empty handle when the module refuses.
    qorfx::EffectHandle create(const std::string& guid);

    static SessionPaths defaultPaths();

private:
    ModuleSession() = default;
    bool start(std::string& error);

    mutable std::mutex lock_;
    int references_ = 0;
    std::unique_ptr<qorfx::ModuleHost> host_;
    std::unique_ptr<qorfx::EffectCatalog> catalog_;
};

// A reference to the session that gives itself back when it goes.
class SessionReference {
public:
    SessionReference() = default;
    explicit SessionReference(std::string& error) : held_(ModuleSession::instance().acquire(error)) {}
    SessionReference(SessionReference&& other) noexcept : held_(std::exchange(other.held_, false)) {}
    SessionReference& operator=(SessionReference&& other) noexcept {
        std::swap(held_, other.held_);
        return *this;
    }
    ~SessionReference() {
        if (held_) ModuleSession::instance().release();
    }
    explicit operator bool() const { return held_; }

private:
    bool held_ = false;
};

}  // namespace qorfrei0r
