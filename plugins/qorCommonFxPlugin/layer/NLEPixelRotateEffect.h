#pragma once

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

// Turns the main input by a quarter or half turn or mirrors it, moving whole pixels ("rotateType":
// 0 quarter turn clockwise, 1 half turn, 2 quarter turn counter-clockwise, 3 mirror left-right,
// 4 mirror top-bottom). A result of another size than the output is stretched to it bilinearly.
// Any other type leaves the output alone.
class NLEPixelRotateEffect : public tessel::NLEEffectFilter {
public:
    explicit NLEPixelRotateEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEPixelRotateEffect() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEPixelRotateEffect> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    int32_t rotateType_;
    // Scratch pictures kept between frames: the input, copied when the host renders in place, and
    // the turned picture when it must be stretched to the output.
    cv::Mat inputCopy_;
    cv::Mat turned_;
};
