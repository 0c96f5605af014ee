#include "plugins/qorCommonFxPlugin/NLETransform.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

TEST(NLETransformTest, FactoryBuildsItForAlgorithmType18) {
    EXPECT_TRUE(qortest::factoryBuilds<NLETransform>(18));
}

TEST(NLETransformTest, NoRotationAndEqualSizesCopiesThePhotoByteForByte) {
    PaddedFrame in = PaddedFrame::from(qortest::samplePicture("astronaut.png", 200), 8);
    PaddedFrame out = qortest::untouchedFrame(in.width(), in.height());
    auto effect = qortest::makeEffect<NLETransform>();
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), in.mat()), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLETransformTest, NoRotationResizesToTheOutputWithTheChosenInterpolation) {
    PaddedFrame in = PaddedFrame::from(qortest::samplePicture("rocket.jpg", 130), 4);
    auto effect = qortest::makeEffect<NLETransform>();
    for (int interpolation : {cv::INTER_LINEAR, cv::INTER_CUBIC, cv::INTER_AREA}) {
        SCOPED_TRACE(interpolation);
        qortest::setInt(*effect, "samperType", interpolation);
        PaddedFrame out = qortest::untouchedFrame(301, 157);
        ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
        cv::Mat expected;
        cv::resize(in.mat(), expected, out.mat().size(), 0, 0, interpolation);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
        EXPECT_TRUE(out.paddingIntact());
    }
}

TEST(NLETransformTest, NearestNeighbourDoublingRepeatsEveryPixel) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(13, 7, 3));
    PaddedFrame out = qortest::untouchedFrame(26, 14);
    auto effect = qortest::makeEffect<NLETransform>();
    qortest::setInt(*effect, "samperType", cv::INTER_NEAREST);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    const cv::Mat source = in.mat(), result = out.mat();
    for (int y = 0; y < result.rows; ++y)
        for (int x = 0; x < result.cols; ++x)
            ASSERT_EQ(result.at<cv::Vec4b>(y, x), source.at<cv::Vec4b>(y / 2, x / 2)) << x << "," << y;
    EXPECT_TRUE(out.paddingIntact());
}

// About the frame centre (width / 2, height / 2) in pixel coordinates, a clockwise quarter turn of
// a square frame moves every pixel one column right of cv::rotate's result. The first column has no
// source; the second column and the last row would need the last source row or column, which
// OpenCV's transparent border never draws (a bilinear sample needs all four neighbours inside).
// They keep what the output held.
TEST(NLETransformTest, NinetyDegreesTurnsASquareFrameClockwise) {
    const cv::Mat picture = qortest::samplePicture("chelsea.png", 180)(cv::Rect(60, 20, 200, 200)).clone();
    PaddedFrame in = PaddedFrame::from(picture);
    PaddedFrame out = qortest::untouchedFrame(200, 200);
    auto effect = qortest::makeEffect<NLETransform>();
    qortest::setInt(*effect, "theta", 90);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);

    cv::Mat turned;
    cv::rotate(picture, turned, cv::ROTATE_90_CLOCKWISE);
    const cv::Mat result = out.mat();
    EXPECT_EQ(qortest::differingBytes(result(cv::Rect(2, 0, 198, 199)), turned(cv::Rect(1, 0, 198, 199))), 0);
    EXPECT_EQ(cv::countNonZero(result.colRange(0, 2).clone().reshape(1) != qortest::kUntouched), 0);
    EXPECT_EQ(cv::countNonZero(result.row(199).reshape(1) != qortest::kUntouched), 0);
    EXPECT_TRUE(out.paddingIntact());
}

// A landscape frame turned upright: its middle lands in the output unscaled, the columns it does not
// reach (and the one its last row would draw, as above) keep their previous contents.
TEST(NLETransformTest, NinetyDegreesOnALandscapeFrameLeavesUncoveredColumnsAlone) {
    const cv::Mat picture = qortest::noisePicture(40, 20, 9);
    PaddedFrame in = PaddedFrame::from(picture, 16);
    PaddedFrame out = qortest::untouchedFrame(40, 20);
    auto effect = qortest::makeEffect<NLETransform>();
    qortest::setInt(*effect, "theta", 90);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);

    cv::Mat turned;  // 20 wide, 40 tall
    cv::rotate(picture, turned, cv::ROTATE_90_CLOCKWISE);
    const cv::Mat result = out.mat();
    // Output column X holds turned column X - 11, shifted up by the 10 rows that fall off the top.
    EXPECT_EQ(qortest::differingBytes(result.colRange(12, 31), turned(cv::Rect(1, 10, 19, 20))), 0);
    EXPECT_EQ(cv::countNonZero(result.colRange(0, 12).clone().reshape(1) != qortest::kUntouched), 0);
    EXPECT_EQ(cv::countNonZero(result.colRange(31, 40).clone().reshape(1) != qortest::kUntouched), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLETransformTest, RefusedCallsLeaveTheOutputAndItsPaddingAlone) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(24, 16, 2));
    PaddedFrame out = qortest::untouchedFrame(24, 16);
    const std::vector<uint8_t> before = out.bytes();
    auto effect = qortest::makeEffect<NLETransform>();
    const tessel::Frame o = out.frame(), i = in.frame();

    EXPECT_EQ(qortest::render(*effect, {nullptr, o.width, o.height, o.stride}, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {nullptr, i.width, i.height, i.stride}), 1);
    EXPECT_EQ(qortest::render(*effect, o, {i.data, i.width, i.height, i.width * 4 - 1}), 1);
    EXPECT_EQ(qortest::render(*effect, {o.data, o.width, o.height, o.width * 4 - 4}, i), 1);
    EXPECT_EQ(qortest::render(*effect, {o.data, -o.width, o.height, o.stride}, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {i.data, i.width, 0, i.stride}), 1);
    EXPECT_EQ(out.bytes(), before);
}

TEST(NLETransformTest, AnInterpolationOpenCvRejectsFailsWithoutThrowing) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(24, 16, 2));
    PaddedFrame out = qortest::untouchedFrame(30, 20);
    auto effect = qortest::makeEffect<NLETransform>();
    qortest::setInt(*effect, "samperType", 7);
    int32_t result = 0;
    EXPECT_NO_THROW(result = qortest::render(*effect, out.frame(), in.frame()));
    EXPECT_EQ(result, 1);
    qortest::setInt(*effect, "theta", 30);
    EXPECT_NO_THROW(result = qortest::render(*effect, out.frame(), in.frame()));
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(out.paddingIntact());
}

}  // namespace
