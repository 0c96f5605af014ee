// A stand-in AI module for the bridge tests, built once per variant: FAKE_AI_NO_DELETE leaves out
// "DeleteNLEAIEffectFilter", FAKE_AI_NO_AI_RES_DATA leaves out "NLEEffectFilterGetAIResData".
// It counts the calls it gets and writes a mask that is 255 on the left half of the destination
// and 0 on the right.

#include <cstdarg>
#include <cstdint>
#include <cstring>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

using LogCallback = void (*)(int32_t, const char*, va_list);

struct FakeAiCounters {
    int creates, deletes, transforms;
    LogCallback log;
};

FAKE_EXPORT FakeAiCounters fakeAiCounters = {0, 0, 0, nullptr};

namespace {

int filterToken;

void logMessage(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    fakeAiCounters.log(level, format, args);
    va_end(args);
}

}  // namespace

FAKE_EXPORT void SetNLEAIEffectFilterLogCallback(LogCallback callback) { fakeAiCounters.log = callback; }

FAKE_EXPORT void* CreateNLEAIEffectFilterFromGUID(const char* guid, int32_t) {
    ++fakeAiCounters.creates;
    // Text that a host reading it as a format would misread.
    if (fakeAiCounters.log) logMessage(2, "created %s at %d%% (%s)", guid, 100, "keep %s %n literal");
    return &filterToken;
}

#ifndef FAKE_AI_NO_DELETE
FAKE_EXPORT void DeleteNLEAIEffectFilter(void** handle) {
    ++fakeAiCounters.deletes;
    if (handle) *handle = nullptr;
}
#endif

FAKE_EXPORT int32_t NLEEffectFilterTransform(void* handle, uint8_t* dst, int32_t width, int32_t height, int32_t stride,
                                             uint8_t*, int32_t, int32_t, int32_t, uint8_t* src, int32_t, int32_t,
                                             int32_t) {
    ++fakeAiCounters.transforms;
    if (handle != &filterToken || !dst || !src) return 1;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = dst + static_cast<intptr_t>(y) * stride;
        std::memset(row, 255, static_cast<std::size_t>(width / 2) * 4);
        std::memset(row + (width / 2) * 4, 0, static_cast<std::size_t>(width - width / 2) * 4);
    }
    return 0;
}

FAKE_EXPORT int32_t NLEEffectFilterSetParameter(void*, const char*, int32_t, void*) { return 0; }
#ifndef FAKE_AI_NO_AI_RES_DATA
FAKE_EXPORT void* NLEEffectFilterGetAIResData(void*) { return nullptr; }
#endif
