#include "plugins/qorCommonFxPlugin/NLEPixelRotateEffect.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

cv::Mat rotated(const cv::Mat& picture, cv::RotateFlags turn) {
    cv::Mat result;
    cv::rotate(picture, result, turn);
    return result;
}

// Mirror images built pixel by pixel.
cv::Mat mirrored(const cv::Mat& picture, bool leftRight) {
    cv::Mat result(picture.size(), picture.type());
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x)
            result.at<cv::Vec4b>(y, x) = leftRight ? picture.at<cv::Vec4b>(y, picture.cols - 1 - x)
                                                   : picture.at<cv::Vec4b>(picture.rows - 1 - y, x);
    return result;
}

class NLEPixelRotateEffectTest : public ::testing::Test {
protected:
    // A landscape photo with partial alpha, on padded rows.
    PaddedFrame in = PaddedFrame::from(qortest::samplePicture("coffee.png", 150)(cv::Rect(3, 5, 301, 200)), 8);
    std::unique_ptr<NLEPixelRotateEffect> effect = qortest::makeEffect<NLEPixelRotateEffect>();

    cv::Mat renderType(int rotateType, PaddedFrame& out) {
        qortest::setInt(*effect, "rotateType", rotateType);
        EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
        EXPECT_TRUE(out.paddingIntact());
        return out.mat();
    }
};

TEST_F(NLEPixelRotateEffectTest, FactoryBuildsItForAlgorithmType13) {
    EXPECT_TRUE(qortest::factoryBuilds<NLEPixelRotateEffect>(13));
}

TEST_F(NLEPixelRotateEffectTest, QuarterTurnsIntoAPortraitOutputMoveWholePixels) {
    PaddedFrame out = qortest::untouchedFrame(200, 301);
    EXPECT_EQ(qortest::differingBytes(renderType(0, out), rotated(in.mat(), cv::ROTATE_90_CLOCKWISE)), 0);
    EXPECT_EQ(qortest::differingBytes(renderType(2, out), rotated(in.mat(), cv::ROTATE_90_COUNTERCLOCKWISE)), 0);
}

TEST_F(NLEPixelRotateEffectTest, HalfTurnAndMirrorsOnEqualSizesMoveWholePixels) {
    PaddedFrame out = qortest::untouchedFrame(301, 200);
    EXPECT_EQ(qortest::differingBytes(renderType(1, out), rotated(in.mat(), cv::ROTATE_180)), 0);
    EXPECT_EQ(qortest::differingBytes(renderType(3, out), mirrored(in.mat(), true)), 0);
    EXPECT_EQ(qortest::differingBytes(renderType(4, out), mirrored(in.mat(), false)), 0);
}

TEST_F(NLEPixelRotateEffectTest, ATurnedPictureOfAnotherSizeIsStretchedBilinearly) {
    PaddedFrame landscape = qortest::untouchedFrame(301, 200);
    cv::Mat expected;
    cv::resize(rotated(in.mat(), cv::ROTATE_90_CLOCKWISE), expected, landscape.mat().size(), 0, 0, cv::INTER_LINEAR);
    EXPECT_EQ(qortest::differingBytes(renderType(0, landscape), expected), 0);

    PaddedFrame smaller = qortest::untouchedFrame(150, 100);
    cv::resize(mirrored(in.mat(), false), expected, smaller.mat().size(), 0, 0, cv::INTER_LINEAR);
    EXPECT_EQ(qortest::differingBytes(renderType(4, smaller), expected), 0);
}

TEST_F(NLEPixelRotateEffectTest, QuarterTurnOfASquareFrameNeedsNoStretch) {
    in = PaddedFrame::from(qortest::noisePicture(64, 64, 11), 4);
    PaddedFrame out = qortest::untouchedFrame(64, 64);
    EXPECT_EQ(qortest::differingBytes(renderType(2, out), rotated(in.mat(), cv::ROTATE_90_COUNTERCLOCKWISE)), 0);
}

TEST_F(NLEPixelRotateEffectTest, TypesOutsideZeroToFourLeaveTheOutputAlone) {
    PaddedFrame out = qortest::untouchedFrame(301, 200);
    const std::vector<uint8_t> unchanged = out.bytes();
    for (int rotateType : {-1, 5, 6, 1000}) {
        qortest::setInt(*effect, "rotateType", rotateType);
        int32_t result = 1;
        EXPECT_NO_THROW(result = qortest::render(*effect, out.frame(), in.frame()));
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(out.bytes(), unchanged);
}

TEST_F(NLEPixelRotateEffectTest, RefusedCallsLeaveTheOutputAndItsPaddingAlone) {
    PaddedFrame out = qortest::untouchedFrame(200, 301);
    const std::vector<uint8_t> unchanged = out.bytes();
    const tessel::Frame o = out.frame(), i = in.frame();
    EXPECT_EQ(qortest::render(*effect, {nullptr, o.width, o.height, o.stride}, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {nullptr, i.width, i.height, i.stride}), 1);
    EXPECT_EQ(qortest::render(*effect, {o.data, o.width, o.height, o.width * 4 - 1}, i), 1);
    EXPECT_EQ(qortest::render(*effect, o, {i.data, i.width, i.height, 0}), 1);
    EXPECT_EQ(qortest::render(*effect, o, {i.data, 0, i.height, i.stride}), 1);
    EXPECT_EQ(qortest::render(*effect, {o.data, o.width, -1, o.stride}, i), 1);
    EXPECT_EQ(out.bytes(), unchanged);
}

}  // namespace
