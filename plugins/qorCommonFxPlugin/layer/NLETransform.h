#pragma once

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "framework/EffectParams.h"

// Which part of the source goes to which part of the destination, each rectangle as fractions of
// its own image's size.
struct WarpRects {
    cv::Rect2d source;
    cv::Rect2d destination;
};

// Draws the source rectangle into the destination rectangle, scaled per axis and turned by `angle`
// degrees (positive: counter-clockwise as displayed) about the destination rectangle's centre.
// Without rotation a rectangle that lies inside the destination is resized or copied into it;
// otherwise the source is warped over the whole destination with a transparent border, so
// destination pixels the source does not reach keep their contents. Does nothing for an empty matrix.
void warpRectToRect(const cv::Mat& source, cv::Mat& destination, const WarpRects& rects, float angle,
                    int interpolation);

// Rotates the main input about the frame centre by "theta" whole degrees (clockwise as displayed)
// and scales it to the output size, with the OpenCV interpolation "samperType".
class NLETransform : public tessel::NLEEffectFilter {
public:
    explicit NLETransform(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLETransform() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLETransform> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    // The host sends the angle as an integer: the rotation is always a whole number of degrees.
    int32_t theta_;
    int32_t samperType_;
};
