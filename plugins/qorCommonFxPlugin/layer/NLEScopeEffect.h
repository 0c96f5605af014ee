#pragma once

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

// Where a picture lands when it is scaled, turned about its anchor and the anchor placed on a point
// of the output.
struct ScopeFootprint {
    // Maps input pixels to coordinates relative to the corner of `output`.
    cv::Matx23d matrix;
    // The part of the turned picture's bounding box that lies in the output, in output pixels.
    cv::Rect2d output;
    // The same part in the bounding box's own coordinates.
    cv::Rect2d box;
    // The bounding box's size, truncated.
    cv::Size bounds;
};

// The footprint of a w x h picture in a W x H output: scaled by (scaleX, scaleY), turned by `angle`
// degrees (positive: counter-clockwise as displayed) about its anchor (fractions of the picture),
// with the anchor placed at `position` (fractions of the output).
ScopeFootprint scopeFootprint(int w, int h, int W, int H, float anchorX, float anchorY, float positionX,
                              float positionY, double angle, double scaleX, double scaleY);

// Picture in picture: inside the main input's footprint (scaled, turned clockwise by "Rotation"
// degrees and centred on "Position_x", "Position_y") the output is the main input, made opaque,
// blended over the second input with blend mode "BlendMode" at opacity "Alpha"; elsewhere it is the
// second input. Pixels are not moved: only the footprint is transformed.
class NLEScopeEffect : public tessel::NLEEffectFilter {
public:
    explicit NLEScopeEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEScopeEffect() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEScopeEffect> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float positionX_;
    float positionY_;
    float scaleX_;
    float scaleY_;
    float rotation_;
    int32_t blendMode_;
    float alpha_;  // opacity as a fraction, 1.0 opaque
};
