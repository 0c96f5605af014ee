#pragma once

#include "framework/EffectParams.h"
#include "framework/SimdDispatch.h"

// Turns the green channel of the second input into the alpha of the main input: the output keeps
// the main input's colour bytes and takes its alpha from the second input's green byte, copied as
// it stands (no premultiplication).
class NLEGreenChannelControl : public tessel::NLEEffectFilter {
public:
    explicit NLEGreenChannelControl(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {}
    ~NLEGreenChannelControl() override = default;

    // The effect reads no parameters.
    static const tessel::ParamTable<NLEGreenChannelControl> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // One row: `width` pixels of colour, the alpha taken from the matte's green byte (the target
    // may be the colour row itself).
    using MatteRowFn = void (*)(const uint8_t* colour, const uint8_t* green, uint8_t* target, int width);
    static const tessel::SimdKernels<MatteRowFn>& matteRowKernels();
};
