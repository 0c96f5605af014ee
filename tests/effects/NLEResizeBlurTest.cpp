#include "plugins/qorCommonFxPlugin/NLEResizeBlur.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::kUntouched;
using qortest::PaddedFrame;
using qortest::untouchedFrame;

std::unique_ptr<NLEResizeBlur> reducingTo(int width, int height, int type, int maxRadius) {
    auto effect = qortest::makeEffect<NLEResizeBlur>();
    qortest::setInt(*effect, "destImageWidth", width);
    qortest::setInt(*effect, "destImageHeight", height);
    qortest::setInt(*effect, "resizeBlurType", type);
    qortest::setInt(*effect, "kernelMaxRadius", maxRadius);
    return effect;
}

// A photo of a size whose row count does not divide by the eight bands.
cv::Mat photo(const char* name, cv::Size size, int alpha) {
    cv::Mat resized;
    cv::resize(qortest::samplePicture(name, alpha), resized, size, 0, 0, cv::INTER_AREA);
    return resized;
}

TEST(NLEResizeBlurTest, FactoryBuildsItForAlgorithmType17) { EXPECT_TRUE(qortest::factoryBuilds<NLEResizeBlur>(17)); }

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
}

// The banded blur must equal one blur of the whole frame: no seams between the eight bands.
TEST(NLEResizeBlurTest, HalvingBoxBlursTheWholeFrameWithAThreeByThreeKernel) {
    const cv::Mat picture = photo("coffee.png", cv::Size(301, 203), 150);
    PaddedFrame in = PaddedFrame::from(picture, 16);
    PaddedFrame out = untouchedFrame(301, 203, 8);
    ASSERT_EQ(qortest::render(*reducingTo(150, 101, 0, 3), out.frame(), in.frame()), 0);
    cv::Mat expected;
    cv::blur(picture, expected, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REFLECT_101);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEResizeBlurTest, QuarteringWithGaussianTypeUsesAFiveByFiveKernel) {
    const cv::Mat picture = photo("astronaut.png", cv::Size(400, 397), 200);
    PaddedFrame in = PaddedFrame::from(picture, 4);
    PaddedFrame out = untouchedFrame(400, 397, 12);
    ASSERT_EQ(qortest::render(*reducingTo(100, 99, 1, 2), out.frame(), in.frame()), 0);
    // The bands are regions of the frame, for which OpenCV filters 8-bit data in floating point
    // (its fixed-point path serves whole frames only): the reference is a float blur, rounded.
    cv::Mat picture32, blurred32, expected;
    picture.convertTo(picture32, CV_32F);
    cv::GaussianBlur(picture32, blurred32, cv::Size(5, 5), 0, 0, cv::BORDER_REFLECT_101);
    blurred32.convertTo(expected, CV_8U);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEResizeBlurTest, AnyTypeButOneIsTheBoxBlurEvenOnFewerRowsThanBands) {
    const cv::Mat picture = qortest::noisePicture(64, 5, 7);
    for (int type : {0, 2, -7}) {
        PaddedFrame in = PaddedFrame::from(picture);
        PaddedFrame out = untouchedFrame(64, 5);
        ASSERT_EQ(qortest::render(*reducingTo(16, 1, type, 9), out.frame(), in.frame()), 0);
        cv::Mat expected;
        cv::blur(picture, expected, cv::Size(5, 5), cv::Point(-1, -1), cv::BORDER_REFLECT_101);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0) << type;
    }
}

TEST(NLEResizeBlurTest, NoTargetSmallReductionAndZeroMaximumCopyTheFrame) {
    const cv::Mat picture = photo("chelsea.png", cv::Size(451, 300), 99);
    struct Case {
        int width, height, maxRadius;
    };
    for (const Case c : {Case{0, 0, 4}, Case{0, 150, 4}, Case{300, 200, 4}, Case{900, 600, 4}, Case{100, 60, 0}}) {
        PaddedFrame in = PaddedFrame::from(picture, 24);
        PaddedFrame out = untouchedFrame(451, 300, 4);
        ASSERT_EQ(qortest::render(*reducingTo(c.width, c.height, 1, c.maxRadius), out.frame(), in.frame()), 0);
        EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0) << c.width << "x" << c.height;
        EXPECT_TRUE(out.paddingIntact());
    }
}

TEST(NLEResizeBlurTest, LargerOutputGetsTheInputAreaOnly) {
    const cv::Mat picture = qortest::noisePicture(40, 30, 3);
    PaddedFrame in = PaddedFrame::from(picture);
    PaddedFrame out = untouchedFrame(50, 35);
    ASSERT_EQ(qortest::render(*reducingTo(20, 15, 0, 1), out.frame(), in.frame()), 0);
    cv::Mat expected;
    cv::blur(picture, expected, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REFLECT_101);
    EXPECT_EQ(qortest::differingBytes(out.mat()(cv::Rect(0, 0, 40, 30)), expected), 0);
    EXPECT_EQ(cv::countNonZero(out.mat().colRange(40, 50).reshape(1) != kUntouched), 0);
    EXPECT_EQ(cv::countNonZero(out.mat().rowRange(30, 35).reshape(1) != kUntouched), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEResizeBlurTest, RefusalsLeaveTheOutputAndItsPaddingUntouched) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(40, 30, 5));
    PaddedFrame out = untouchedFrame(40, 30);
    auto effect = reducingTo(10, 10, 1, -1);
    EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 1);  // negative kernel
    EXPECT_TRUE(qortest::leftUntouched(out));

    qortest::setInt(*effect, "kernelMaxRadius", 2);
    qortest::expectRefusalsLeaveOutputUntouched(*effect, 1);
}

}  // namespace
