// The entry points of the AI module "qorAiFilterPlugin.qor", exported by name with C linkage.
// It offers one AI filter, the skin detector; the other entry points of the AI interface exist so
// that a host resolves them all, and answer kNotSupported. No exception leaves an entry point.

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>

#include <opencv2/core.hpp>

#include "plugins/qorAiFilterPlugin/SkinDetector.h"

#define QOR_AI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using LogCallback = void (*)(int32_t level, const char* format, va_list args);

constexpr int32_t kOk = 0;
constexpr int32_t kBadInput = 1;     // a missing handle or buffer, or sizes that do not describe a frame
constexpr int32_t kNotSupported = 2;  // an entry point this module does not implement
constexpr int32_t kLogError = 4;

std::atomic<LogCallback> logCallback{nullptr};

void logMessage(int32_t level, const char* format, ...) {
    const LogCallback log = logCallback.load();
    if (!log) return;
    va_list args;
    va_start(args, format);
    log(level, format, args);
    va_end(args);
}

bool describesFrame(const uint8_t* data, int32_t width, int32_t height, int32_t stride) {
    return data && width > 0 && height > 0 && static_cast<int64_t>(stride) >= static_cast<int64_t>(width) * 4;
}

cv::Mat frameHeader(uint8_t* data, int32_t width, int32_t height, int32_t stride) {
    return cv::Mat(height, width, CV_8UC4, data, static_cast<std::size_t>(stride));
}

}  // namespace

QOR_AI_EXPORT void SetNLEAIEffectFilterLogCallback(LogCallback log) { logCallback.store(log); }

// `value` is reserved; hosts pass 0.
QOR_AI_EXPORT void* CreateNLEAIEffectFilterFromGUID(const char* guid, int32_t /*value*/) {
    if (guid && std::strcmp(guid, qorai::SkinDetector::kGuid) == 0) return new (std::nothrow) qorai::SkinDetector;
    logMessage(kLogError, "qorAiFilterPlugin has no AI filter %s; the only one is the skin detector %s",
               guid ? guid : "(null)", qorai::SkinDetector::kGuid);
    return nullptr;
}

QOR_AI_EXPORT void DeleteNLEAIEffectFilter(void** handle) {
    if (!handle) return;
    delete static_cast<qorai::SkinDetector*>(*handle);
    *handle = nullptr;
}

// Writes the skin mask of `src` into `dst` (both BGRA; sizes may differ). The second input is not used.
QOR_AI_EXPORT int32_t NLEEffectFilterTransform(void* handle, uint8_t* dst, int32_t dstWidth, int32_t dstHeight,
                                               int32_t dstStride, uint8_t*, int32_t, int32_t, int32_t, uint8_t* src,
                                               int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    if (!handle || !describesFrame(dst, dstWidth, dstHeight, dstStride) ||
        !describesFrame(src, srcWidth, srcHeight, srcStride)) {
        return kBadInput;
    }
    try {
        cv::Mat mask = frameHeader(dst, dstWidth, dstHeight, dstStride);
        static_cast<const qorai::SkinDetector*>(handle)->detect(frameHeader(src, srcWidth, srcHeight, srcStride), mask);
        return kOk;
    } catch (const std::exception& error) {
        logMessage(kLogError, "skin detection failed: %s", error.what());
        return kBadInput;
    }
}

QOR_AI_EXPORT int32_t NLEEffectFilterSetParameter(void*, const char*, int32_t, void*) { return kNotSupported; }
QOR_AI_EXPORT int32_t NLEEffectFilterGetParameter(void*, const char*, int32_t, void*) { return kNotSupported; }
QOR_AI_EXPORT void* NLEEffectFilterGetAIResData(void*) { return nullptr; }
QOR_AI_EXPORT int32_t NLEEffectFilterSetAIResData(void*, void*) { return kNotSupported; }
QOR_AI_EXPORT const char* NLEEffectFilterGetGUID(void* handle) { return handle ? qorai::SkinDetector::kGuid : nullptr; }
QOR_AI_EXPORT int32_t NLEEffectFilterTransformChannels(void*, uint8_t*, int32_t, int32_t, int32_t, uint8_t*, int32_t,
                                                       int32_t, int32_t, uint8_t*, int32_t, int32_t, int32_t, int32_t,
                                                       int32_t, int32_t) {
    return kNotSupported;
}
QOR_AI_EXPORT int32_t NLEEffectFilterSetCurrentTime(void*, int64_t) { return kNotSupported; }
QOR_AI_EXPORT int32_t NLEEffectFilterSetTotalTime(void*, int64_t) { return kNotSupported; }
QOR_AI_EXPORT int32_t NLEEffectFilterSetFrameRate(void*, double) { return kNotSupported; }
QOR_AI_EXPORT int32_t InitGlint() { return kNotSupported; }
QOR_AI_EXPORT int32_t SetGlintPath(const char*) { return kNotSupported; }
