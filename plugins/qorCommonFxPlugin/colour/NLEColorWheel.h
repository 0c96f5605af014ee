#pragma once

#include <array>

#include "framework/EffectParams.h"
#include "framework/SimdDispatch.h"

// Three-way colour corrector: lift (shadows), gamma (mid-tones) and gain (highlights) wheels. A
// wheel's hue and saturation push the three channels apart along a fixed colour table, its
// lightness moves the picture's luminance. "version" 1 selects sine tone curves and lets a
// wheel's master value (equal red, green and blue) change the colour saturation; any other version
// uses power tone curves. The result is premultiplied by the input alpha.
class NLEColorWheel : public tessel::NLEEffectFilter {
public:
    using Offsets = std::array<float, 3>;  // red, green, blue

    // The wheel settings as read from the parameters.
    struct Wheel {
        float hue, saturation, lightness;
        float red, green, blue;  // source of the master value
    };
    struct Settings {
        Wheel lift, gamma, gain;
        int32_t version;
    };

    explicit NLEColorWheel(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEColorWheel() override = default;

    // The parameters the effect reads, each with where its value lands and its default.
    static const tessel::ParamTable<NLEColorWheel> kParams;

    // 0 on success; 1 for a missing or unusable buffer or an output of another size than the input
    // (nothing written). Works in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // Channel offsets of the lift and gain wheels, and of the gamma wheel, for a hue in degrees
    // (wrapped into 0..360; not a number counts as 0) scaled by `saturation`.
    static Offsets liftGainOffsets(float hue, float saturation);
    static Offsets gammaOffsets(float hue, float saturation);
    // The tone curve of one channel: power curves, or sine curves for version 1.
    static float toneCurve(float x, float lift, float gamma, float gain, int32_t version);
    // A wheel's master value: its red when red, green and blue agree and differ from its
    // lightness, clamped to -1..1; otherwise 0.
    static float masterValue(const Wheel& wheel);

    // Runs the per-pixel work on `path` instead of the widest one the processor offers; every path
    // gives the same bytes.
    void useSimdPath(tessel::SimdPath path) { simdPath_ = path; }

private:
    Settings settings_;
    tessel::SimdPath simdPath_ = tessel::chosenSimdPath();
};
