#include "module/AiTestSupport.h"

#include <dlfcn.h>

#include <cstdio>
#include <stdexcept>

#include "plugins/qorCommonFxPlugin/AiBridge.h"
#include "plugins/qorCommonFxPlugin/HostSuites.h"

namespace qortest {

std::string fakeAiFolder(const std::string& variant) { return std::string(QOR_FAKE_AI_DIR) + "/" + variant; }

std::string fakeAiModulePath(const std::string& variant) { return fakeAiFolder(variant) + "/qorAiFilterPlugin.qor"; }

FakeAiCounters* fakeCounters(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!library) return nullptr;
    auto* counters = static_cast<FakeAiCounters*>(dlsym(library, "fakeAiCounters"));
    dlclose(library);  // the loader still holds it
    return counters;
}

void useFakeAiModule() {
    using namespace tessel::qorCommonFxPlugin;
    if (!loadAiModule(fakeAiFolder("full"), forwardAiLog)) throw std::runtime_error("cannot load the stand-in AI module");
    useAiModule(true);
}

RecordingHostUtil::RecordingHostUtil() { tessel::qorCommonFxPlugin::hostSuites().hostUtil = this; }

RecordingHostUtil::~RecordingHostUtil() { tessel::qorCommonFxPlugin::hostSuites().hostUtil = nullptr; }

int32_t RecordingHostUtil::GetPath(int32_t, char*, int32_t) { return 1; }

void RecordingHostUtil::Log(int32_t level, const char* format, ...) {
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    std::string text(static_cast<std::size_t>(std::vsnprintf(nullptr, 0, format, copy)), '\0');
    va_end(copy);
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    messages.push_back({level, text});
}

}  // namespace qortest
