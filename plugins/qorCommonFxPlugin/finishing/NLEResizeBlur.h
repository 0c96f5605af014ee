#pragma once

#include "framework/EffectParams.h"

// Prefilter for a coming size reduction: blurs the main input with a kernel whose radius grows
// with the reduction factor to the announced size ("destImageWidth" x "destImageHeight"), bounded
// by "kernelMaxRadius". The frame size does not change; a reduction by less than half per side is
// a plain copy.
class NLEResizeBlur : public tessel::NLEEffectFilter {
public:
    explicit NLEResizeBlur(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEResizeBlur() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEResizeBlur> kParams;

    // 0 on success; 1 for a missing or unusable buffer, an output that does not cover the input,
    // a negative kernel (negative "kernelMaxRadius") or an OpenCV error. Only the input's area of
    // the output is written, and nothing on failure before the blur starts.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // Blur radius for reducing a frame of `sourceArea` pixels to `destWidth` x `destHeight`.
    static int blurRadius(int64_t sourceArea, int32_t destWidth, int32_t destHeight, int32_t maxRadius);

private:
    int32_t destImageWidth;
    int32_t destImageHeight;
    int32_t resizeBlurType;  // 1: Gaussian; anything else: box
    int32_t kernelMaxRadius;
};
