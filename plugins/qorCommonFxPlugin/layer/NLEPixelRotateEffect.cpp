#include "plugins/qorCommonFxPlugin/layer/NLEPixelRotateEffect.h"

#include <opencv2/imgproc.hpp>

#include "framework/EffectParams.h"
#include "framework/Frame.h"

using tessel::Frame;

namespace {

// cv::flip codes.
constexpr int kFlipTopBottom = 0;
constexpr int kFlipLeftRight = 1;
constexpr int kFlipBoth = -1;

struct Orientation {
    bool transpose;  // swap rows and columns before flipping
    int flipCode;
};

// Indexed by "rotateType".
constexpr Orientation kOrientations[] = {
    {true, kFlipLeftRight},   // quarter turn clockwise
    {false, kFlipBoth},       // half turn
    {true, kFlipTopBottom},   // quarter turn counter-clockwise
    {false, kFlipLeftRight},  // mirror left-right
    {false, kFlipTopBottom},  // mirror top-bottom
};
constexpr int32_t kOrientationCount = sizeof(kOrientations) / sizeof(kOrientations[0]);

}  // namespace

const tessel::ParamTable<NLEPixelRotateEffect> NLEPixelRotateEffect::kParams{
    {"rotateType", &NLEPixelRotateEffect::rotateType_, 0}};

int32_t NLEPixelRotateEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                        uint8_t*, int32_t, int32_t, int32_t, uint8_t* src, int32_t srcWidth,
                                        int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    // Any output size is fine: the turned picture is fitted to it.
    if (!out.isValid() || !in.isValid()) return 1;

    tessel::readParams(*this, kParams);
    if (rotateType_ < 0 || rotateType_ >= kOrientationCount) return 0;
    const Orientation& orientation = kOrientations[rotateType_];

    const cv::Mat input = in.mat();
    cv::Mat output = out.mat();
    const cv::Size turnedSize = orientation.transpose ? cv::Size(in.height, in.width) : in.size();
    // A turned picture of the output's size is written straight into the output.
    const bool fits = turnedSize == out.size();
    cv::Mat& target = fits ? output : turned_;
    if (orientation.transpose) {
        cv::transpose(input, transposed_);
        cv::flip(transposed_, target, orientation.flipCode);
    } else {
        cv::flip(input, target, orientation.flipCode);
    }
    if (!fits) cv::resize(turned_, output, out.size(), 0, 0, cv::INTER_LINEAR);
    return 0;
}
