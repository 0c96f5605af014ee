#include "tools/qorfx/ModuleHost.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qorfx {

namespace {

template <typename Fn>
bool resolve(const platform::DynamicLibrary& library, const char* name, Fn& fn, std::string& missing) {
    fn = reinterpret_cast<Fn>(library.symbol(name));
    if (!fn) missing += missing.empty() ? name : std::string(", ") + name;
    return fn != nullptr;
}

}  // namespace

int32_t HostUtil::GetPath(int32_t kind, char* buffer, int32_t size) {
    pathKindsAsked.push_back(kind);
    if (!buffer || size <= 0) return 1;
    const std::string& path = kind == 1 ? paths_.effectRoot : kind == 2 ? paths_.aiFolder : std::string();
    if (kind != 1 && kind != 2) return 1;
    const std::size_t length = std::min(path.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(buffer, path.data(), length);
    buffer[length] = '\0';
    return 0;
}

void HostUtil::Log(int32_t level, const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    char text[2048];
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const std::lock_guard<std::mutex> lock(logMutex_);
    if (keepMessages) messages.push_back({level, text});
    if (level >= echoLevel) std::fprintf(stderr, "%s: module log (level %d): %s\n", echoPrefix.c_str(), level, text);
}

int32_t SuiteProvider::AcquireSuite(const char* name, int32_t version, void** suite) {
    const std::string suiteName = name ? name : "";
    requested.emplace_back(suiteName, version);
    if (!suite) return 1;
    if (suiteName == "Host Util Suite") {
        *suite = offerHostUtil ? static_cast<HostUtilSuite*>(util_) : nullptr;
    } else if (suiteName == "Memory Allocator Suite") {
        *suite = &memorySuite_;
    } else if (suiteName == "Image Buffer ALlocator Suite") {
        *suite = &imageBufferSuite_;
    } else if (suiteName == "GPU Device Suite") {
        *suite = &gpuSuite_;
    } else {
        return 1;
    }
    return *suite ? 0 : 1;
}

EffectHandle::EffectHandle(EffectHandle&& other) noexcept
    : effect_(std::exchange(other.effect_, nullptr)), release_(other.release_) {}

EffectHandle& EffectHandle::operator=(EffectHandle&& other) noexcept {
    if (this != &other) {
        reset();
        effect_ = std::exchange(other.effect_, nullptr);
        release_ = other.release_;
    }
    return *this;
}

void EffectHandle::reset() {
    if (effect_ && release_) release_(effect_);
    effect_ = nullptr;
}

ModuleHost::ModuleHost(HostPaths paths) : util_(std::move(paths)), suites_(&util_) {
    host_.suiteProvider = &suites_;
}

ModuleHost::~ModuleHost() { shutdown(); }

bool ModuleHost::load(const std::string& modulePath, std::string& error) {
    if (!library_.open(modulePath)) {
        error = "cannot load the effect module " + modulePath + ": " + library_.error();
        return false;
    }
    std::string missing;
    resolve(library_, "StartupQOR", entry_.startup, missing);
    resolve(library_, "RegisterQOREffect", entry_.registerEffect, missing);
    resolve(library_, "RegisterQOREffectFromConfPath", entry_.registerFromConfPath, missing);
    resolve(library_, "CreateQOREffect", entry_.createEffect, missing);
    resolve(library_, "ReleaseQOREffect", entry_.releaseEffect, missing);
    resolve(library_, "ShutdownQOR", entry_.shutdown, missing);
    if (!missing.empty()) {
        error = modulePath + " is not an effect module: it does not export " + missing;
        return false;
    }
    return true;
}

int32_t ModuleHost::startup() {
    started_ = true;
    return entry_.startup(&host_, &info_);
}

std::vector<int32_t> ModuleHost::registerAll() {
    std::vector<int32_t> results;
    for (int32_t i = 0; i < info_.effectCount; ++i) results.push_back(entry_.registerEffect(i, &registrar_));
    return results;
}

EffectHandle ModuleHost::create(const std::string& guid, int32_t mode, int32_t* status) {
    QOREffect* effect = nullptr;
    const int32_t result = entry_.createEffect(guid.c_str(), mode, &effect);
    if (status) *status = result;
    if (result != 0) return {};
    return {effect, entry_.releaseEffect};
}

int32_t ModuleHost::shutdown() {
    if (!started_) return 0;
    started_ = false;
    return entry_.shutdown();
}

}  // namespace qorfx
