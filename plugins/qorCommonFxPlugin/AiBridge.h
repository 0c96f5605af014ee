#pragma once
// The bridge to the optional AI module "qorAiFilterPlugin.qor": its entry points resolved by name,
// the process-wide dispatch table the rest of the module calls through (inert fallbacks when the
// AI module is absent), the per-effect AI cache and the AI transform that first asks the host for
// a result it already holds.

#include <cstdarg>
#include <cstdint>
#include <string>

#include "framework/ParamValue.h"
#include "host/QORRenderContext.h"

namespace tessel::qorCommonFxPlugin {

using AiLogCallback = void (*)(int32_t level, const char* format, va_list args);

// The AI module's exports, in the order they are resolved. All null until a load resolves them.
struct AiModuleEntryPoints {
    void (*SetNLEAIEffectFilterLogCallback)(AiLogCallback log) = nullptr;
    void* (*CreateNLEAIEffectFilterFromGUID)(const char* guid, int32_t value) = nullptr;
    void (*DeleteNLEAIEffectFilter)(void** handle) = nullptr;
    int32_t (*NLEEffectFilterTransform)(void* handle, uint8_t* dst, int32_t dstWidth, int32_t dstHeight,
                                        int32_t dstStride, uint8_t* second, int32_t secondWidth,
                                        int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                                        int32_t srcHeight, int32_t srcStride) = nullptr;
    int32_t (*NLEEffectFilterSetParameter)(void* handle, const char* name, int32_t type, ParamValue* value) = nullptr;
    void* NLEEffectFilterGetAIResData = nullptr;
    void* NLEEffectFilterSetAIResData = nullptr;
    void* NLEEffectFilterGetGUID = nullptr;
    void* NLEEffectFilterGetParameter = nullptr;
    void* NLEEffectFilterTransformChannels = nullptr;
    void* NLEEffectFilterSetCurrentTime = nullptr;
    void* NLEEffectFilterSetTotalTime = nullptr;
    void* NLEEffectFilterSetFrameRate = nullptr;
    void* InitGlint = nullptr;
    void* SetGlintPath = nullptr;
};

// The process-wide table filled by loadAiModule.
AiModuleEntryPoints& aiModuleEntryPoints();

// Loads "<directory>/qorAiFilterPlugin.qor" and resolves its fifteen entry points into `entries`.
// True when create, transform, set-parameter and get-AI-result-data all resolved (the log callback
// is then handed over); otherwise the library is unloaded again. Returns true at once, loading
// nothing, when the table already holds a loaded module. A loaded module stays loaded for good.
bool loadAiModule(const std::string& directory, AiLogCallback log,
                  AiModuleEntryPoints& entries = aiModuleEntryPoints());

// Passes an AI module's message to the host's log as literal text, cut to 4095 bytes. Callable
// from any thread.
void forwardAiLog(int32_t level, const char* format, va_list args);

class AiEffectCache;

// What the effect objects call; every entry is valid once the registry has been created.
struct AiDispatch {
    void* (*createFilter)(const char* guid, int32_t value);
    void (*deleteFilter)(void** handle);
    int32_t (*setParameter)(void* handle, const char* name, int32_t type, const ParamValue& value);
    int32_t (*transformWithCache)(AiEffectCache* cache, uint8_t* dst, int32_t dstWidth, int32_t dstHeight,
                                  int32_t dstStride, uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                  int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                  int32_t srcStride);
};

// The dispatch table; at the inert fallbacks until useAiModule(true).
AiDispatch& aiDispatch();
// Points the dispatch table at the forwarding entries (true) or the fallbacks (false).
void useAiModule(bool loaded);

// Runs once, while the registry is created: asks the host for the AI directory (kind 2, 512 bytes;
// "qorPlugin" without a host util suite), loads the AI module from it and sets the dispatch table.
void bringUpAiBridge();

// One AI filter owned by an effect object, with the render context of the update that made it.
class AiEffectCache {
public:
    AiEffectCache(std::string guid, void* handle, QORRenderContext* context)
        : guid_(std::move(guid)), handle_(handle), context_(context) {}
    ~AiEffectCache();
    AiEffectCache(const AiEffectCache&) = delete;
    AiEffectCache& operator=(const AiEffectCache&) = delete;

    const std::string& guid() const { return guid_; }
    void* handle() const { return handle_; }
    QORRenderContext* context() const { return context_; }
    // A host's render context lives only for the call it is passed to, so each render hands the
    // cache its own before detection.
    void setContext(QORRenderContext* context) { context_ = context; }

private:
    std::string guid_;
    void* handle_;
    QORRenderContext* context_;
};

// The AI transform of `cache`: the host's ready result for the cache's GUID, scaled into the
// destination as `outChannels` (4: four equal channels, 1: one) channels; without one, the AI
// filter run on `src` (or, when `src` is null, on the source frame the host supplies at the
// destination's size). 0 on success, 1 on failure. The last two channel counts are not read.
int32_t NLEEffectFilterTransformChannelsCache(AiEffectCache* cache, uint8_t* dst, int32_t dstWidth,
                                              int32_t dstHeight, int32_t dstStride, uint8_t* second,
                                              int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                              uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                                              int32_t outChannels, int32_t, int32_t);

}  // namespace tessel::qorCommonFxPlugin
