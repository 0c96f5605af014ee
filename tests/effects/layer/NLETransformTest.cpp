#include "plugins/qorCommonFxPlugin/layer/NLETransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

// Renders `picture` turned by `theta` degrees into an output of `outSize` and returns it.
cv::Mat transformed(const cv::Mat& picture, int theta, int samperType, cv::Size outSize) {
    auto effect = qortest::makeEffect<NLETransform>();
    qortest::setInts(*effect, {{"theta", theta}, {"samperType", samperType}});
    return qortest::rendered(*effect, picture, outSize, 8, 20);
}

TEST(NLETransformTest, NoRotationCopiesEqualSizesAndResizesToOthers) {
    const cv::Mat astronaut = qortest::samplePicture("astronaut.png", 200);
    EXPECT_EQ(qortest::differingBytes(transformed(astronaut, 0, cv::INTER_LINEAR, astronaut.size()), astronaut), 0);
    const cv::Mat rocket = qortest::samplePicture("rocket.jpg", 130);
    for (const int interpolation : {cv::INTER_LINEAR, cv::INTER_CUBIC, cv::INTER_AREA}) {
        cv::Mat expected;
        cv::resize(rocket, expected, cv::Size(301, 157), 0, 0, interpolation);
        EXPECT_EQ(qortest::differingBytes(transformed(rocket, 0, interpolation, {301, 157}), expected), 0)
            << interpolation;
    }
    const cv::Mat noise = qortest::noisePicture(13, 7, 3);
    const cv::Mat doubled = transformed(noise, 0, cv::INTER_NEAREST, {26, 14});
    int mismatches = 0;
    doubled.forEach<cv::Vec4b>(
        [&](const cv::Vec4b& p, const int* at) { mismatches += p != noise.at<cv::Vec4b>(at[0] / 2, at[1] / 2); });
    EXPECT_EQ(mismatches, 0) << "nearest-neighbour doubling repeats every pixel";
}

// About the frame centre (width / 2, height / 2) in pixel coordinates, a clockwise quarter turn of
// a square frame moves every pixel one column right of cv::rotate's result. The first column has no
// source; the second column and the last row would need the last source row or column, which
// OpenCV's transparent border never draws (a bilinear sample needs all four neighbours inside).
// They keep what the output held.
TEST(NLETransformTest, NinetyDegreesTurnsASquareFrameClockwise) {
    const cv::Mat picture = qortest::samplePicture("chelsea.png", 180)(cv::Rect(60, 20, 200, 200)).clone();
    const cv::Mat result = transformed(picture, 90, cv::INTER_LINEAR, {200, 200});
    cv::Mat turned;
    cv::rotate(picture, turned, cv::ROTATE_90_CLOCKWISE);
    EXPECT_EQ(qortest::differingBytes(result(cv::Rect(2, 0, 198, 199)), turned(cv::Rect(1, 0, 198, 199))), 0);
    EXPECT_TRUE(qortest::untouchedOutside(result.colRange(0, 2)));
    EXPECT_TRUE(qortest::untouchedOutside(result.row(199)));
}

// A landscape frame turned upright: its middle lands in the output unscaled, the columns it does not
// reach (and the one its last row would draw, as above) keep their previous contents. Output
// column X holds turned column X - 11, shifted up by the 10 rows that fall off the top.
TEST(NLETransformTest, NinetyDegreesOnALandscapeFrameLeavesUncoveredColumnsAlone) {
    const cv::Mat picture = qortest::noisePicture(40, 20, 9);
    const cv::Mat result = transformed(picture, 90, cv::INTER_LINEAR, {40, 20});
    cv::Mat turned;  // 20 wide, 40 tall
    cv::rotate(picture, turned, cv::ROTATE_90_CLOCKWISE);
    EXPECT_EQ(qortest::differingBytes(result.colRange(12, 31), turned(cv::Rect(1, 10, 19, 20))), 0);
    EXPECT_TRUE(qortest::untouchedOutside(result.colRange(0, 12)));
    EXPECT_TRUE(qortest::untouchedOutside(result.colRange(31, 40)));
}

// The matrix cv::warpAffine receives for the whole input scaled to `out` and turned by `theta`
// degrees clockwise about the output centre.
cv::Mat wholeFrameTurn(cv::Size in, cv::Size out, int theta) {
    const double angle = -theta * CV_PI / 180, c = std::cos(angle), s = std::sin(angle);
    const double kx = double(out.width) / in.width, ky = double(out.height) / in.height;
    const double w = in.width / 2.0, h = in.height / 2.0;
    return (cv::Mat_<double>(2, 3) << kx * c, ky * s, out.width / 2.0 - ky * h * s - kx * w * c, -kx * s, ky * c,
            out.height / 2.0 + kx * w * s - ky * h * c);
}

// Bilinear turns are drawn band by band; they give cv::warpAffine's bytes with a transparent border,
// over odd sizes and scales, and the same when the host renders in place.
TEST(NLETransformTest, BilinearTurnsGiveWarpAffinesBytes) {
    const cv::Mat rocket = qortest::samplePicture("rocket.jpg", 130)(cv::Rect(7, 3, 333, 211)).clone();
    for (const int theta : {30, -77, 135, 1, 90}) {
        for (const cv::Size outSize : {rocket.size(), cv::Size(301, 157)}) {
            SCOPED_TRACE("theta " + std::to_string(theta) + " into " + std::to_string(outSize.width));
            cv::Mat expected(outSize, CV_8UC4, cv::Scalar::all(qortest::kUntouched));
            cv::warpAffine(rocket, expected, wholeFrameTurn(rocket.size(), outSize, theta), outSize, cv::INTER_LINEAR,
                           cv::BORDER_TRANSPARENT);
            EXPECT_EQ(qortest::differingBytes(transformed(rocket, theta, cv::INTER_LINEAR, outSize), expected), 0);
        }
    }
    auto effect = qortest::makeEffect<NLETransform>();
    qortest::setInt(*effect, "theta", 30);
    PaddedFrame frame = PaddedFrame::from(rocket, 8);
    ASSERT_EQ(qortest::render(*effect, frame.frame(), frame.frame()), 0);
    cv::Mat expected = rocket.clone();  // uncovered corners keep the input
    cv::warpAffine(rocket, expected, wholeFrameTurn(rocket.size(), rocket.size(), 30), rocket.size(), cv::INTER_LINEAR,
                   cv::BORDER_TRANSPARENT);
    EXPECT_EQ(qortest::differingBytes(frame.mat(), expected), 0) << "in place the input is read before it is overwritten";
}

TEST(NLETransformTest, RefusalsAndAnInterpolationOpenCvRejectsFailWithoutThrowing) {
    auto effect = qortest::makeEffect<NLETransform>();
    qortest::expectRefusals(*effect, std::nullopt);
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(24, 16, 2));
    PaddedFrame out = qortest::untouchedFrame(30, 20);
    for (const int theta : {0, 30}) {
        qortest::setInts(*effect, {{"samperType", 7}, {"theta", theta}});
        int32_t result = 0;
        EXPECT_NO_THROW(result = qortest::render(*effect, out.frame(), in.frame()));
        EXPECT_EQ(result, 1) << theta;
    }
    EXPECT_TRUE(out.paddingIntact());
}

}  // namespace
