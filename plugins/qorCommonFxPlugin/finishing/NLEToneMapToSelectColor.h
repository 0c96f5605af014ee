#pragma once

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

// Duotone: each pixel's grey value, stretched over the frame's own darkest to brightest grey,
// picks a tone on the gradient from the dark colour ("darkLuma") to the light colour
// ("lightLuma"); the tone is mixed with the input colour by "Strength" percent and the result is
// premultiplied by the input alpha.
class NLEToneMapToSelectColor : public tessel::NLEEffectFilter {
public:
    explicit NLEToneMapToSelectColor(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEToneMapToSelectColor() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEToneMapToSelectColor> kParams;

    // 0 on success; 1 for a missing or unusable buffer or an output that does not cover the input
    // (nothing written). Only the input's area of the output is written.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    // Colours packed as channel 0 in bits 0-7, channel 1 in bits 8-15, channel 2 in bits 16-23.
    int32_t lightLuma;
    int32_t darkLuma;
    int32_t strengthPercent;
    cv::Mat grey;
};
