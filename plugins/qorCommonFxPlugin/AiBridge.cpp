#include "plugins/qorCommonFxPlugin/AiBridge.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/DynamicLibrary.h"
#include "plugins/qorCommonFxPlugin/HostSuites.h"

namespace tessel::qorCommonFxPlugin {

namespace {

constexpr const char* kAiModuleFile = "/qorAiFilterPlugin.qor";
constexpr const char* kDefaultAiDirectory = "qorPlugin";
constexpr int32_t kAiDirectoryKind = 2;
constexpr int kAiDirectoryBufferSize = 512;
constexpr std::size_t kLogBufferSize = 4096;
constexpr int32_t kOk = 0;
constexpr int32_t kFailed = 1;
// The line number hosts have always been shown in the missing-source message.
constexpr int kMissingSourceLine = 81;

template <typename Fn>
void resolve(const platform::DynamicLibrary& library, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(library.symbol(name));
}

void resolveAll(const platform::DynamicLibrary& library, AiModuleEntryPoints& e) {
    resolve(library, "SetNLEAIEffectFilterLogCallback", e.SetNLEAIEffectFilterLogCallback);
    resolve(library, "CreateNLEAIEffectFilterFromGUID", e.CreateNLEAIEffectFilterFromGUID);
    resolve(library, "DeleteNLEAIEffectFilter", e.DeleteNLEAIEffectFilter);
    resolve(library, "NLEEffectFilterTransform", e.NLEEffectFilterTransform);
    resolve(library, "NLEEffectFilterSetParameter", e.NLEEffectFilterSetParameter);
    resolve(library, "NLEEffectFilterGetAIResData", e.NLEEffectFilterGetAIResData);
    resolve(library, "NLEEffectFilterSetAIResData", e.NLEEffectFilterSetAIResData);
    resolve(library, "NLEEffectFilterGetGUID", e.NLEEffectFilterGetGUID);
    resolve(library, "NLEEffectFilterGetParameter", e.NLEEffectFilterGetParameter);
    resolve(library, "NLEEffectFilterTransformChannels", e.NLEEffectFilterTransformChannels);
    resolve(library, "NLEEffectFilterSetCurrentTime", e.NLEEffectFilterSetCurrentTime);
    resolve(library, "NLEEffectFilterSetTotalTime", e.NLEEffectFilterSetTotalTime);
    resolve(library, "NLEEffectFilterSetFrameRate", e.NLEEffectFilterSetFrameRate);
    resolve(library, "InitGlint", e.InitGlint);
    resolve(library, "SetGlintPath", e.SetGlintPath);
}

// The entries the module cannot work without ("DeleteNLEAIEffectFilter" is optional).
bool hasRequiredEntries(const AiModuleEntryPoints& e) {
    return e.CreateNLEAIEffectFilterFromGUID && e.NLEEffectFilterTransform && e.NLEEffectFilterSetParameter &&
           e.NLEEffectFilterGetAIResData;
}

// --- Forwarding entries (AI module loaded) ---

void* forwardCreate(const char* guid, int32_t value) {
    const auto create = aiModuleEntryPoints().CreateNLEAIEffectFilterFromGUID;
    return create ? create(guid, value) : nullptr;
}

void forwardDelete(void** handle) {
    if (const auto remove = aiModuleEntryPoints().DeleteNLEAIEffectFilter) remove(handle);
}

int32_t forwardSetParameter(void* handle, const char* name, int32_t type, const ParamValue& value) {
    const auto set = aiModuleEntryPoints().NLEEffectFilterSetParameter;
    if (!set) return kFailed;
    ParamValue copy = value;
    return set(handle, name, type, &copy);
}

int32_t forwardTransformWithCache(AiEffectCache* cache, uint8_t* dst, int32_t dstWidth, int32_t dstHeight,
                                  int32_t dstStride, uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                  int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                  int32_t srcStride) {
    constexpr int32_t kChannels = 4;
    return NLEEffectFilterTransformChannelsCache(cache, dst, dstWidth, dstHeight, dstStride, second, secondWidth,
                                                 secondHeight, secondStride, src, srcWidth, srcHeight, srcStride,
                                                 kChannels, kChannels, kChannels);
}

// --- Inert fallbacks (no AI module): nothing is created, transforms succeed without writing ---

void* fallbackCreate(const char*, int32_t) { return nullptr; }
void fallbackDelete(void**) {}
int32_t fallbackSetParameter(void*, const char*, int32_t, const ParamValue&) { return kOk; }
int32_t fallbackTransformWithCache(AiEffectCache*, uint8_t*, int32_t, int32_t, int32_t, uint8_t*, int32_t, int32_t,
                                   int32_t, uint8_t*, int32_t, int32_t, int32_t) {
    return kOk;
}

constexpr AiDispatch kForwarding{forwardCreate, forwardDelete, forwardSetParameter, forwardTransformWithCache};
constexpr AiDispatch kFallbacks{fallbackCreate, fallbackDelete, fallbackSetParameter, fallbackTransformWithCache};

const char* fileName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Scales the host's one-channel result `ready` into the destination as `outChannels` channels.
int32_t scaleReadyResult(QORImageBuffer& ready, uint8_t* dst, int32_t dstWidth, int32_t dstHeight,
                         int32_t dstStride, int32_t outChannels) {
    uint8_t* data = ready.GetData();
    if (!data) return kOk;
    if (ready.GetWidth() <= 0 || ready.GetHeight() <= 0 || ready.GetStride() < ready.GetWidth()) return kFailed;
    const cv::Mat result(ready.GetHeight(), ready.GetWidth(), CV_8UC1, data, static_cast<std::size_t>(ready.GetStride()));
    const auto step = static_cast<std::size_t>(dstStride);
    if (outChannels == 4) {
        cv::Mat channels;
        cv::merge(std::vector<cv::Mat>(4, result), channels);
        cv::Mat destination(dstHeight, dstWidth, CV_8UC4, dst, step);
        cv::resize(channels, destination, destination.size(), 0, 0, cv::INTER_LINEAR);
    } else if (outChannels == 1) {
        cv::Mat destination(dstHeight, dstWidth, CV_8UC1, dst, step);
        cv::resize(result, destination, destination.size(), 0, 0, cv::INTER_LINEAR);
    } else {
        hostLog(LogLevel::Error, "NLEEffectFilterTransformChannelsCache nOutChannels %d is not supported!", outChannels);
        return kFailed;
    }
    return kOk;
}

}  // namespace

AiModuleEntryPoints& aiModuleEntryPoints() {
    static AiModuleEntryPoints entries;
    return entries;
}

bool loadAiModule(const std::string& directory, AiLogCallback log, AiModuleEntryPoints& entries) {
    if (hasRequiredEntries(entries) && entries.DeleteNLEAIEffectFilter) return true;
    platform::DynamicLibrary library;
    library.open(directory + kAiModuleFile);
    resolveAll(library, entries);
    if (!hasRequiredEntries(entries)) {
        // No pointer may outlive the library, which unloads as it goes out of scope.
        entries = {};
        return false;
    }
    if (entries.SetNLEAIEffectFilterLogCallback) entries.SetNLEAIEffectFilterLogCallback(log);
    library.release();
    return true;
}

void forwardAiLog(int32_t level, const char* format, va_list args) {
    static std::mutex bufferLock;
    static char buffer[kLogBufferSize];
    HostUtilSuite* util = hostSuites().hostUtil;
    if (!util || !format) return;
    std::lock_guard<std::mutex> guard(bufferLock);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    util->Log(level, "%s", buffer);
}

AiDispatch& aiDispatch() {
    static AiDispatch dispatch = kFallbacks;
    return dispatch;
}

void useAiModule(bool loaded) { aiDispatch() = loaded ? kForwarding : kFallbacks; }

void bringUpAiBridge() {
    char directory[kAiDirectoryBufferSize] = {};
    std::strcpy(directory, kDefaultAiDirectory);
    if (HostUtilSuite* util = hostSuites().hostUtil) util->GetPath(kAiDirectoryKind, directory, kAiDirectoryBufferSize);
    directory[kAiDirectoryBufferSize - 1] = '\0';  // a host that filled the whole buffer still gives a text
    useAiModule(loadAiModule(directory, forwardAiLog));
}

AiEffectCache::~AiEffectCache() {
    aiDispatch().deleteFilter(&handle_);
    handle_ = nullptr;
}

int32_t NLEEffectFilterTransformChannelsCache(AiEffectCache* cache, uint8_t* dst, int32_t dstWidth,
                                              int32_t dstHeight, int32_t dstStride, uint8_t*, int32_t, int32_t,
                                              int32_t, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                              int32_t srcStride, int32_t outChannels, int32_t, int32_t) {
    if (!cache || !cache->context()) return kFailed;
    if (!dst || dstWidth <= 0 || dstHeight <= 0) return kFailed;
    QORRenderContext& context = *cache->context();
    if (QORImageBuffer* ready = context.GetAiResult(0, cache->guid().c_str())) {
        try {
            return scaleReadyResult(*ready, dst, dstWidth, dstHeight, dstStride, outChannels);
        } catch (const cv::Exception&) {
            return kFailed;  // a destination stride too short for its width
        }
    }
    // Keeps the host's source frame alive until the AI filter has read it.
    std::shared_ptr<QORImageBuffer> sourceFrame;
    if (!src) {
        context.GetSourceFrame(&sourceFrame, 0, dstWidth, dstHeight);
        if (sourceFrame) {
            src = sourceFrame->GetData();
            srcWidth = sourceFrame->GetWidth();
            srcHeight = sourceFrame->GetHeight();
            srcStride = sourceFrame->GetStride();
        }
    }
    if (!src) {
        hostLog(LogLevel::Error, "input is nullptr! file[%s] line[%d]", fileName(__FILE__), kMissingSourceLine);
        return kFailed;
    }
    const auto transform = aiModuleEntryPoints().NLEEffectFilterTransform;
    if (!transform) return kFailed;
    return transform(cache->handle(), dst, dstWidth, dstHeight, dstStride, nullptr, 0, 0, 0, src, srcWidth, srcHeight,
                     srcStride);
}

}  // namespace tessel::qorCommonFxPlugin
