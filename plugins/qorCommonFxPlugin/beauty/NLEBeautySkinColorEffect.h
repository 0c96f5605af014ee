#pragma once

#include "framework/EffectParams.h"

// Warmer skin: raises the red channel of every pixel by a tenth of "color_lev" (rounded, ties to
// even, held to 255). Blue, green and alpha are copied.
class NLEBeautySkinColorEffect : public tessel::NLEEffectFilter {
public:
    explicit NLEBeautySkinColorEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEBeautySkinColorEffect() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEBeautySkinColorEffect> kParams;

    // 0 on success; 1 for a missing or unusable buffer or an output of another size than the
    // input; 3 when the level is not positive (red is never lowered). Refusals write nothing.
    // Works in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float colorLevel;  // "color_lev", kept until a frame brings another
};
