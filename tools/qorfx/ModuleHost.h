#pragma once
// Loads an effect module as a host editor does (by file, at run time) and plays the host's side:
// the suite provider, the host util suite with its paths and log, start-up, registration,
// creation and shutdown.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/QORPluginApi.h"
#include "platform/DynamicLibrary.h"
#include "tools/qorfx/HostRegistrar.h"

namespace qorfx {

struct HostPaths {
    std::string effectRoot;  // GetPath kind 1
    std::string aiFolder;    // GetPath kind 2
};

struct LogMessage {
    int32_t level;
    std::string text;
};

class HostUtil : public HostUtilSuite {
public:
    explicit HostUtil(HostPaths paths) : paths_(std::move(paths)) {}

    int32_t GetPath(int32_t kind, char* buffer, int32_t size) override;
    // Callable from any thread: effects and the AI module log from their render threads.
    void Log(int32_t level, const char* format, ...) override;

    std::vector<int32_t> pathKindsAsked;
    std::vector<LogMessage> messages;  // read once the rendering threads are done
    // Messages at or above this level are echoed to stderr as they arrive, after the prefix.
    int32_t echoLevel = 4;
    std::string echoPrefix = "qorfx";
    // A long-running host (a video plug-in) only echoes, so the list cannot grow without end.
    bool keepMessages = true;

private:
    HostPaths paths_;
    std::mutex logMutex_;
};

class SuiteProvider : public QORSuiteProvider {
public:
    explicit SuiteProvider(HostUtil* util) : util_(util) {}
    int32_t AcquireSuite(const char* name, int32_t version, void** suite) override;

    std::vector<std::pair<std::string, int32_t>> requested;  // suite name and version, in call order
    bool offerHostUtil = true;

private:
    HostUtil* util_;
    // The suites the module keeps but never calls: opaque objects with stable addresses.
    char memorySuite_ = 0, imageBufferSuite_ = 0, gpuSuite_ = 0;
};

struct ModuleEntryPoints {
    StartupQORFn startup = nullptr;
    RegisterQOREffectFn registerEffect = nullptr;
    RegisterQOREffectFromConfPathFn registerFromConfPath = nullptr;
    CreateQOREffectFn createEffect = nullptr;
    ReleaseQOREffectFn releaseEffect = nullptr;
    ShutdownQORFn shutdown = nullptr;
};

// An effect object created by the module, released through the module when it goes.
class EffectHandle {
public:
    EffectHandle() = default;
    EffectHandle(QOREffect* effect, ReleaseQOREffectFn release) : effect_(effect), release_(release) {}
    EffectHandle(EffectHandle&& other) noexcept;
    EffectHandle& operator=(EffectHandle&& other) noexcept;
    EffectHandle(const EffectHandle&) = delete;
    EffectHandle& operator=(const EffectHandle&) = delete;
    ~EffectHandle() { reset(); }

    QOREffect* get() const { return effect_; }
    QOREffect* operator->() const { return effect_; }
    explicit operator bool() const { return effect_ != nullptr; }
    void reset();

private:
    QOREffect* effect_ = nullptr;
    ReleaseQOREffectFn release_ = nullptr;
};

class ModuleHost {
public:
    explicit ModuleHost(HostPaths paths);
    ~ModuleHost();
    ModuleHost(const ModuleHost&) = delete;
    ModuleHost& operator=(const ModuleHost&) = delete;

    // Loads the module and resolves its six entry points; false with a reason in `error`.
    bool load(const std::string& modulePath, std::string& error);
    // StartupQOR with this host's records; returns its result. The effect count is in info().
    int32_t startup();
    // RegisterQOREffect for every index the module reported; the results in order.
    std::vector<int32_t> registerAll();
    // CreateQOREffect; an empty handle and the result in `status` on failure.
    EffectHandle create(const std::string& guid, int32_t mode, int32_t* status = nullptr);
    // ShutdownQOR, once; later calls do nothing.
    int32_t shutdown();

    const ModuleEntryPoints& entryPoints() const { return entry_; }
    const QORPluginInfo& info() const { return info_; }
    HostRegistrar& registrar() { return registrar_; }
    HostUtil& util() { return util_; }
    SuiteProvider& suites() { return suites_; }

private:
    platform::DynamicLibrary library_;
    ModuleEntryPoints entry_;
    HostUtil util_;
    SuiteProvider suites_;
    QORHostInterface host_{};
    QORPluginInfo info_{};
    HostRegistrar registrar_;
    bool started_ = false;
};

}  // namespace qorfx
