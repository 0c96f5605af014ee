// The six entry points through which a host editor drives the module. No exception leaves them.

#include <cstring>
#include <exception>
#include <string>

#include "host/QORPluginApi.h"
#include "plugins/qorCommonFxPlugin/EffectRegistry.h"
#include "plugins/qorCommonFxPlugin/HostSuites.h"
#include "plugins/qorCommonFxPlugin/ParameterRegistration.h"
#include "plugins/qorCommonFxPlugin/QORCommonEffect.h"

using namespace tessel;
using namespace tessel::qorCommonFxPlugin;

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kFailed = 2;
constexpr int32_t kEffectRootKind = 1;
constexpr int32_t kEffectRootBufferSize = 256;
constexpr const char* kEffectFolder = "/qor_effect/plugin/CommonFx";

constexpr const char* kPluginName = "QOR CommonFx Plugin";
constexpr const char* kPluginVendor = "org.qorfx.commonfx";
constexpr const char* kPluginDescription = "KAV CommonFx Filters";
constexpr const char* kEmpty = "";

void acquireSuites(QORHostInterface* host) {
    HostSuites& suites = hostSuites();
    QORSuiteProvider* provider = host ? host->suiteProvider : nullptr;
    if (!provider) return;
    provider->AcquireSuite("Memory Allocator Suite", 1, &suites.memoryAllocator);
    provider->AcquireSuite("Image Buffer ALlocator Suite", 1, &suites.imageBufferAllocator);
    provider->AcquireSuite("Host Util Suite", 1, reinterpret_cast<void**>(&suites.hostUtil));
    provider->AcquireSuite("GPU Device Suite", 1, &suites.gpuDevice);
}

void logParamDiagnostic(const char* message) { hostLog(LogLevel::Diagnostic, "%s", message); }

// The effect root the host names, followed by the folder of this module's effects; empty when the
// host offers no util suite.
std::string effectDirectory() {
    HostUtilSuite* util = hostSuites().hostUtil;
    if (!util) return {};
    char root[kEffectRootBufferSize] = {};
    util->GetPath(kEffectRootKind, root, kEffectRootBufferSize);
    root[kEffectRootBufferSize - 1] = '\0';
    return std::string(root) + kEffectFolder;
}

void discoverEffects(EffectRegistry& registry) {
    const std::string folder = effectDirectory();
    if (folder.empty()) return;
    walkEffectDescriptions(folder.c_str(), [&registry](_EffectFileType kind, std::string file, std::string dir) {
        registry.onDescriptionFound(kind, std::move(file), std::move(dir));
    });
}

void fillPluginInfo(QORPluginInfo* info, std::size_t effectCount) {
    if (!info) return;
    info->one1 = 1;
    info->one2 = 1;
    info->name = kPluginName;
    info->vendor = kPluginVendor;
    info->description = kPluginDescription;
    info->empty = kEmpty;
    info->effectCount = static_cast<int32_t>(effectCount);
    info->zero = 0;
}

}  // namespace

extern "C" {

QOR_EXPORT int32_t StartupQOR(QORHostInterface* host, QORPluginInfo* info) {
    try {
        acquireSuites(host);
        setParamDiagnosticSink(logParamDiagnostic);
        EffectRegistry* registry = EffectRegistry::instance();
        if (registry) discoverEffects(*registry);
        fillPluginInfo(info, registry ? registry->count() : 0);
    } catch (const std::exception& error) {
        hostLog(LogLevel::Error, "CommonFx start-up failed: %s", error.what());
    }
    return kOk;
}

QOR_EXPORT int32_t RegisterQOREffect(uint32_t index, QOREffectRegistrar* registrar) {
    try {
        EffectRegistry* registry = EffectRegistry::instance();
        if (!registry || !registrar || static_cast<int32_t>(index) < 0 || index >= registry->count()) return kFailed;
        const NLEFilterInfoPtr info = registry->at(index);
        if (!info) return kFailed;
        registerDescription(*registrar, *info);
        return kOk;
    } catch (...) {
        return kFailed;
    }
}

QOR_EXPORT int32_t RegisterQOREffectFromConfPath(const char* folder, QOREffectRegistrar* registrar) {
    if (!folder || !registrar) return kFailed;
    try {
        EffectRegistry* registry = EffectRegistry::instance();
        const NLEFilterInfoPtr info = registry ? registry->loadConfFolder(folder) : nullptr;
        const int32_t type = info ? EffectRegistry::builtinTypeOf(info->GetGUID().c_str()) : 0;
        if (type == 0) {
            hostLog(LogLevel::Error, "Register CommonFx Effect Failed: %s", folder);
            return kFailed;
        }
        registerIdentityAndParameters(*registrar, *info);
        info->SetBuiltin(1);
        info->SetAlgorithmType(type);
        registerDependentEffects(*registrar, *info);
        registry->insert(info);
        return kOk;
    } catch (...) {
        hostLog(LogLevel::Error, "Register CommonFx Effect Failed: %s", folder);
        return kFailed;
    }
}

QOR_EXPORT int32_t CreateQOREffect(const char* guid, int32_t mode, QOREffect** effect) {
    if (mode != 0 || !guid || !effect) return kFailed;
    try {
        EffectRegistry* registry = EffectRegistry::instance();
        NLEFilterInfoPtr info = registry ? registry->find(guid) : nullptr;
        if (!info) return kFailed;
        std::shared_ptr<NLEEffectFilter> filter = EffectRegistry::createFilter(info);
        if (!filter) return kFailed;
        *effect = new QORCommonEffect(std::move(info), std::move(filter));
        return kOk;
    } catch (...) {
        return kFailed;
    }
}

QOR_EXPORT void ReleaseQOREffect(QOREffect* effect) {
    // Only objects this module made are destroyed; anything else the host hands back is left alone.
    delete dynamic_cast<QORCommonEffect*>(effect);
}

QOR_EXPORT int32_t ShutdownQOR() {
    EffectRegistry::shutdown();
    return kOk;
}

}  // extern "C"
