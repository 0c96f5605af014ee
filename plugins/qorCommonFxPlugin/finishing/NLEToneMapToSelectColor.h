#pragma once

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"
#include "framework/SimdDispatch.h"

namespace toneMapping {

// Per-frame lookups of the mix: the tone weighted by the strength for every grey value, and the
// weight of the input colour, so that the pixel loop only weighs, adds and premultiplies.
struct ToneMix {
    uint32_t toneOfGrey[256];             // channel c in bits 8c..8c+7, alpha byte 0
    uint8_t toneOfGreyByChannel[3][256];  // the same bytes, one table per channel
    uint8_t inputWeight;                  // 255 - strength
};

// Mixes `count` pixels with the tones of their grey values: per colour channel the tone plus
// mul(input, inputWeight), saturated, premultiplied by the input alpha; alpha is kept.
using ToneMapRowFn = void (*)(const ToneMix& mix, const uint8_t* grey, const uint8_t* pixel, uint8_t* target,
                              int count);

// A four-pixel version, and an AVX-512 one where the processor has the VBMI byte permutes.
const tessel::SimdKernels<ToneMapRowFn>& toneMapRowKernels();

}  // namespace toneMapping

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
