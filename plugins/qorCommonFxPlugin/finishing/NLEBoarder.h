#pragma once

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

// A translucent coloured frame along the four edges: the main input is copied to the output and
// every pixel within "amp" pixels of an edge is mixed with the colour ("R", "G", "B") by
// "opacity". Alpha is kept.
class NLEBoarder : public tessel::NLEEffectFilter {
public:
    explicit NLEBoarder(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEBoarder() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEBoarder> kParams;

    // 0 on success; 1 for a missing or unusable buffer or an output that does not cover the input
    // (nothing written). Only the input's area of the output is written.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // The positions 0..length-1 of a line that lie inside the border band of width `amp`: from
    // the first position not below amp to int(length - amp). Empty when the band covers the line.
    static cv::Range insideSpan(int length, double amp);

private:
    // Unit-range values, widened to double where they are used.
    float opacity;
    float amp;  // band width in pixels
    float red;
    float green;
    float blue;
};
