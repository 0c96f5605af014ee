#pragma once
// Outside fill of the render-region overlay: everything outside a rectangle is shaded with a
// translucent colour and made opaque, so the rectangle reads as the active edit view.

#include <cstdint>

#include <opencv2/core.hpp>

#include "compositing/BlendKernels.h"

namespace imageC {

// Row-parallel loop body (one range index per row of `output`). Pixels inside the inclusive
// rectangle left..right x top..bottom are untouched; every other pixel becomes
//   colour = mul(mul(colour, alpha), inverseAlpha) + mul(fill colour, fillAlpha), alpha = 255,
// that is its colour premultiplied by its own alpha and then blended towards the fill colour.
// The fill colour and opacity are clamped to 0..255. A rectangle with right < left or
// bottom < top is empty, so the whole frame is shaded.
class parallelRenderRegionInInvoker : public cv::ParallelLoopBody {
public:
    parallelRenderRegionInInvoker(cv::Mat* output, uint8_t inverseAlpha, int32_t right, int32_t bottom, int32_t top,
                                  int32_t left, int32_t fillBlue, int32_t fillGreen, int32_t fillRed, int32_t fillAlpha);

    void operator()(const cv::Range& rows) const override;

private:
    cv::Mat* output_;
    uint8_t inverseAlpha_;
    int32_t right_;
    int32_t bottom_;
    int32_t top_;
    int32_t left_;
    int32_t fillBlue_;
    int32_t fillGreen_;
    int32_t fillRed_;
    int32_t fillAlpha_;

    // inverseAlpha and mul(fill colour, fillAlpha) for B, G, R (the shade's share of every outside
    // pixel), and the row kernel chosen to apply them.
    ShadeParams shade_;
    ShadeRowFn shadeRow_;
};

}  // namespace imageC
