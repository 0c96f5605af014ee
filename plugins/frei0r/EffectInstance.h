#pragma once
// One frei0r instance: an effect object of the module with its parameter values, rendering
// frames of the size it was constructed for (frei0r frames are unpadded BGRA rows).
//
// A frei0r update cannot fail, so a frame the effect refuses or fails on leaves as the input
// frame, and the instance says why on stderr once rather than on every frame.

#include <cstdint>
#include <vector>

#include "plugins/frei0r/EffectPlugin.h"
#include "tools/qorfx/FrameContext.h"

namespace qorfrei0r {

class QOR_FREI0R_API EffectInstance {
public:
    EffectInstance(const EffectPlugin& plugin, SessionReference reference, qorfx::EffectHandle effect,
                   unsigned width, unsigned height);
    ~EffectInstance();
    EffectInstance(const EffectInstance&) = delete;
    EffectInstance& operator=(const EffectInstance&) = delete;

    void setParam(const void* value, int index);
    void getParam(void* value, int index) const;
    // `time` in seconds reaches the effect as its current time in milliseconds.
    void update(double time, const uint32_t* input, const uint32_t* second, uint32_t* output);

private:
    void passThrough(const uint8_t* input, uint8_t* output) const;
    void reportFailure(int32_t result);

    // Declared first so that it goes last: the effect object must be released while the
    // module is still loaded.
    SessionReference reference_;
    qorfx::EffectHandle effect_;
    const EffectPlugin& plugin_;
    int width_;
    int height_;
    std::vector<Frei0rValue> values_;
    qorfx::FrameContext context_;
    bool failureReported_ = false;
};

}  // namespace qorfrei0r
