#pragma once

#include <cstdint>

#include <opencv2/core.hpp>

#include "framework/NLEEffectFilter.h"

// The geometry and colours of one render-region frame, in pixels and 0..255 colour values.
struct RegionParams {
    int32_t fLeft = 0;
    int32_t fTop = 0;
    int32_t editViewsWidth = 0;
    int32_t editViewsHeight = 0;
    int32_t outSideAreaR = 0;
    int32_t outSideAreaG = 0;
    int32_t outSideAreaB = 0;
    int32_t outSideAreaA = 0;
    int32_t outLineLeft = 0;
    int32_t outLineTop = 0;
    int32_t outLineWidth = 0;
    int32_t outLineHeight = 0;
    int32_t inLineLeft = 0;
    int32_t inLineTop = 0;
    int32_t inLineWidth = 0;
    int32_t inLineHeight = 0;
    int32_t lineR0 = 0;
    int32_t lineG0 = 0;
    int32_t lineB0 = 0;
    int32_t lineR1 = 0;
    int32_t lineG1 = 0;
    int32_t lineB1 = 0;
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

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;
};
