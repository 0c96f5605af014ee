#include "plugins/qorCommonFxPlugin/finishing/NLEResizeBlur.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

struct Target {
    int width, height, type, maxRadius;
};

std::unique_ptr<NLEResizeBlur> reducingTo(const Target& t) {
    auto effect = qortest::makeEffect<NLEResizeBlur>();
    qortest::setInts(*effect, {{"destImageWidth", t.width}, {"destImageHeight", t.height},
                               {"resizeBlurType", t.type}, {"kernelMaxRadius", t.maxRadius}});
    return effect;
}

// Renders `picture` for `t` into an output of `outSize` (the picture's by default) and returns
// the picture's area of it; a larger output keeps the rest.
cv::Mat rendered(const cv::Mat& picture, const Target& t, cv::Size outSize = {}) {
    const cv::Mat result = qortest::rendered(*reducingTo(t), picture, outSize, 16, 8);
    const cv::Rect area(cv::Point(0, 0), picture.size());
    EXPECT_TRUE(qortest::untouchedOutside(result, area));
    return result(area).clone();
}

// A photo of a size whose row count does not divide by the eight bands.
cv::Mat photo(const char* name, cv::Size size, int alpha) {
    cv::Mat resized;
    cv::resize(qortest::samplePicture(name, alpha), resized, size, 0, 0, cv::INTER_AREA);
    return resized;
}

cv::Mat boxBlurred(const cv::Mat& picture, int size) {
    cv::Mat blurred;
    cv::blur(picture, blurred, cv::Size(size, size), cv::Point(-1, -1), cv::BORDER_REFLECT_101);
    return blurred;
}

TEST(NLEResizeBlurTest, RadiusIsHalfTheSideRatioBoundedByTheMaximum) {
    const int64_t hd = 1920 * 1080;
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 960, 540, 1), 1);   // ratio 2 per side
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 480, 270, 5), 2);   // ratio 4
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 480, 270, 1), 1);   // capped
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 240, 135, 50), 4);  // ratio 8
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 961, 540, 5), 0);   // just under a halving: no blur
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 3840, 2160, 5), 0); // enlargement
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 480, 270, 0), 0);
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 0, 270, -3), 0);    // no target: the maximum is not applied
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, -480, 270, 5), 0);  // meaningless target
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 3840, 2160, -1), -1);
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 100000, 100000, 5), 0);  // target area beyond 32 bits
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, INT32_MAX, INT32_MAX, 5), 0);  // four times it beyond 64 bits
    EXPECT_EQ(NLEResizeBlur::blurRadius(hd, 1, 1, INT32_MAX), NLEResizeBlur::kMaxKernelRadius);
}

// However large the maximum a host sends, the kernel stays within the declared maximum radius.
TEST(NLEResizeBlurTest, AMaximumPastTheDeclaredOneBlursAsTheDeclaredOne) {
    const cv::Mat picture = photo("coffee.png", cv::Size(301, 203), 150);
    const int widest = 2 * NLEResizeBlur::kMaxKernelRadius + 1;
    EXPECT_EQ(qortest::differingBytes(rendered(picture, {1, 1, 0, 1000000}), boxBlurred(picture, widest)), 0);
}

// The banded blur must equal one blur of the whole frame: no seams between the eight bands, also
// with fewer rows than bands, and any type but 1 is the box blur.
TEST(NLEResizeBlurTest, HalvingBoxBlursTheWholeFrameWithAThreeByThreeKernel) {
    const cv::Mat picture = photo("coffee.png", cv::Size(301, 203), 150);
    EXPECT_EQ(qortest::differingBytes(rendered(picture, {150, 101, 0, 3}), boxBlurred(picture, 3)), 0);
    const cv::Mat noise = qortest::noisePicture(40, 30, 3);
    EXPECT_EQ(qortest::differingBytes(rendered(noise, {20, 15, 0, 1}, {50, 35}), boxBlurred(noise, 3)), 0);
    const cv::Mat strip = qortest::noisePicture(64, 5, 7);
    for (const int type : {0, 2, -7}) {
        EXPECT_EQ(qortest::differingBytes(rendered(strip, {16, 1, type, 9}), boxBlurred(strip, 5)), 0) << type;
    }
}

// The bands are regions of the frame, for which OpenCV filters 8-bit data exactly, rounding ties
// to even (its fixed-point path serves whole frames only): the reference is a float blur, rounded.
// Halving takes a 3 x 3 kernel, quartering a 5 x 5 one.
TEST(NLEResizeBlurTest, GaussianTypeEqualsARoundedFloatBlur) {
    const cv::Mat picture = photo("astronaut.png", cv::Size(400, 397), 200);
    cv::Mat picture32, blurred32, expected;
    picture.convertTo(picture32, CV_32F);
    for (const auto& [target, kernelSize] : {std::pair{Target{200, 198, 1, 2}, 3}, {Target{100, 99, 1, 2}, 5}}) {
        cv::GaussianBlur(picture32, blurred32, cv::Size(kernelSize, kernelSize), 0, 0, cv::BORDER_REFLECT_101);
        blurred32.convertTo(expected, CV_8U);
        EXPECT_EQ(qortest::differingBytes(rendered(picture, target), expected), 0) << kernelSize;
    }
}

// Kernels from 11 taps up are filtered in float; the effect's own split of the widest ones must
// give what eight OpenCV band regions give, up to the widest kernel (a reduction to a few pixels).
TEST(NLEResizeBlurTest, WideGaussianKernelsMatchEightOpenCvBands) {
    const cv::Mat picture = photo("coffee.png", cv::Size(333, 211), 170);
    for (const Target t : {Target{30, 19, 1, 5}, Target{12, 8, 1, 20}, Target{3, 2, 1, 1000}}) {
        const int kernelSize = 2 * NLEResizeBlur::blurRadius(picture.total(), t.width, t.height, t.maxRadius) + 1;
        ASSERT_GE(kernelSize, 11);
        cv::Mat expected(picture.size(), CV_8UC4);
        for (int band = 0; band < 8; ++band) {
            const cv::Range rows(band * (picture.rows / 8), band == 7 ? picture.rows : (band + 1) * (picture.rows / 8));
            cv::Mat target = expected.rowRange(rows);
            cv::GaussianBlur(picture.rowRange(rows), target, cv::Size(kernelSize, kernelSize), 0, 0,
                             cv::BORDER_REFLECT_101);
        }
        EXPECT_EQ(qortest::differingBytes(rendered(picture, t), expected), 0) << kernelSize;
    }
}

TEST(NLEResizeBlurTest, NoTargetSmallReductionAndZeroMaximumCopyTheFrame) {
    const cv::Mat picture = photo("chelsea.png", cv::Size(451, 300), 99);
    for (const Target t : {Target{0, 0, 1, 4}, Target{0, 150, 1, 4}, Target{300, 200, 1, 4}, Target{900, 600, 1, 4},
                           Target{100, 60, 1, 0}}) {
        EXPECT_EQ(qortest::differingBytes(rendered(picture, t), picture), 0) << t.width << "x" << t.height;
    }
}

TEST(NLEResizeBlurTest, RefusesANegativeKernelAndBuffersThatDoNotFit) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(40, 30, 5));
    PaddedFrame out = qortest::untouchedFrame(40, 30);
    auto effect = reducingTo({10, 10, 1, -1});
    EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 1);
    EXPECT_TRUE(qortest::leftUntouched(out));
    qortest::setInt(*effect, "kernelMaxRadius", 2);
    qortest::expectRefusals(*effect, 1);
}

}  // namespace
