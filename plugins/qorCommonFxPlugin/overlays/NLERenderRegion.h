#pragma once

#include <cstdint>

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

// The geometry and colours of one render-region frame, in pixels and 0..255 colour values, and
// which guides to draw.
struct RegionParams {
    int32_t fLeft;
    int32_t fTop;
    int32_t editViewsWidth;
    int32_t editViewsHeight;
    int32_t outSideAreaR;
    int32_t outSideAreaG;
    int32_t outSideAreaB;
    int32_t outSideAreaA;
    int32_t outLineLeft;
    int32_t outLineTop;
    int32_t outLineWidth;
    int32_t outLineHeight;
    int32_t inLineLeft;
    int32_t inLineTop;
    int32_t inLineWidth;
    int32_t inLineHeight;
    int32_t lineR0;
    int32_t lineG0;
    int32_t lineB0;
    int32_t lineR1;
    int32_t lineG1;
    int32_t lineB1;
    int32_t outLineSafeZoom;  // non-zero draws the outer guide
    int32_t inLineSafeZoom;   // non-zero draws the inner guide
};

// Copies `input` to `output` (unless `keepOutput`), shades everything outside the edit view and
// draws the requested guide frames. `output` must have the size and type (CV_8UC4) of `input`.
void renderRegion(const cv::Mat& input, cv::Mat& output, const RegionParams& params, bool drawOuterGuide,
                  bool drawInnerGuide, bool keepOutput);

// Marks the edit view of an editor: the frame outside a rectangle is shaded with a translucent
// colour, and up to two guide frames (outer and inner) are drawn as one-pixel rectangles in a main
// colour with a shadow colour one pixel right and below.
class NLERenderRegion : public tessel::NLEEffectFilter {
public:
    explicit NLERenderRegion(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {}
    ~NLERenderRegion() override = default;

    // The parameters the effect reads, each with the field it lands in and its default.
    static const tessel::ParamTable<RegionParams> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;
};
