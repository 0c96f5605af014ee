#pragma once

#include <array>

#include "framework/EffectParams.h"
#include "framework/SimdDispatch.h"

namespace tessel {

// Selective colour corrector over eight overlapping hue bands (red, orange, yellow, green,
// magenta, purple, blue, aqua, applied in this order). Inside a band the hue is shifted, the
// saturation scaled and the lightness moved, with full weight at the band's centre falling
// linearly to none at its bounds. The output keeps the input's alpha and is not premultiplied.
class NLEHSLEffect : public NLEEffectFilter {
public:
    static constexpr int kBandCount = 8;

    struct BandBounds {
        float lower, upper;  // degrees; the red band wraps through 0
    };
    struct BandSetting {
        float hueShift = 0;    // degrees
        float saturation = 0;  // factor change
        float lightness = 0;   // factor change
    };

    explicit NLEHSLEffect(NLEFilterInfoPtr info);

    // The parameters the effect reads, each with where its value lands and its default.
    static const ParamTable<NLEHSLEffect> kParams;

    ~NLEHSLEffect() override = default;

    // 0 after processing; 1, writing nothing, for a missing or unusable buffer, an output of
    // another size than the input, "bEnableHSL" off or missing, or all band values zero. Works
    // in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // One BGRA pixel through the active bands with the settings of the last Transform.
    void adjustHSLPixel(const uint8_t* in, uint8_t* out) const;
    // adjustHSLPixel over `count` pixels, as many at a time as the path and the settings allow.
    void adjustHSLRow(const uint8_t* in, uint8_t* out, int count) const;

    // Runs the per-pixel work on `path` instead of the widest one the processor offers; every path
    // gives the same bytes.
    void useSimdPath(SimdPath path) { simdPath_ = path; }

private:
    // adjustHSLPixel on the leading multiple of eight of `count` pixels, sixteen (AVX-512) or eight
    // (AVX2) at a time; returns how many pixels it did (none on the SSE2 path).
    int adjustWidePixels(const uint8_t* in, uint8_t* out, int count) const;
    // adjustHSLPixel on four pixels at once, in the same single-precision steps.
    void adjustFourPixels(const uint8_t* in, uint8_t* out) const;
    // The band settings from the parameter values; false when every value is zero.
    bool prepareBands();

    std::array<BandBounds, kBandCount> bounds_;
    std::array<BandSetting, kBandCount> settings_{};
    std::array<int, kBandCount> activeBands_{};
    int activeCount_ = 0;
    bool vectorSafe_ = false;  // settings small enough that no step overflows to infinity
    // Parameter values as the host sends them: hue, saturation, brightness per band.
    std::array<float, 3 * kBandCount> values_;
    int32_t enabled_;
    SimdPath simdPath_ = chosenSimdPath();
};

}  // namespace tessel
