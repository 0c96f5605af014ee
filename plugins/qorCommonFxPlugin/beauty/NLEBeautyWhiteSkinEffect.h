#pragma once

#include "framework/EffectParams.h"

// Whiter skin: adds a quarter of "white_lev" to the blue, green and red of every pixel (rounded,
// ties to even, held to 0..255). Alpha is copied.
class NLEBeautyWhiteSkinEffect : public tessel::NLEEffectFilter {
public:
    explicit NLEBeautyWhiteSkinEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEBeautyWhiteSkinEffect() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEBeautyWhiteSkinEffect> kParams;

    // 0 on success (a level of 0 copies); 1 for a missing or unusable buffer or an output of
    // another size than the input; 3 for a negative level. Refusals write nothing. Works in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float whiteLevel;  // "white_lev", kept until a frame brings another
};
