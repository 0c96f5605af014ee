#include "plugins/qorCommonFxPlugin/layer/NLEPixelRotateEffect.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

// rotateType 0..4: a quarter turn clockwise, a half turn, a quarter turn anticlockwise, a mirror
// left to right and one top to bottom; mirrors are built pixel by pixel.
cv::Mat oriented(const cv::Mat& picture, int rotateType) {
    cv::Mat result;
    if (rotateType == 0) cv::rotate(picture, result, cv::ROTATE_90_CLOCKWISE);
    if (rotateType == 1) cv::rotate(picture, result, cv::ROTATE_180);
    if (rotateType == 2) cv::rotate(picture, result, cv::ROTATE_90_COUNTERCLOCKWISE);
    if (rotateType >= 3) {
        result.create(picture.size(), picture.type());
        result.forEach<cv::Vec4b>([&](cv::Vec4b& p, const int* at) {
            p = rotateType == 3 ? picture.at<cv::Vec4b>(at[0], picture.cols - 1 - at[1])
                                : picture.at<cv::Vec4b>(picture.rows - 1 - at[0], at[1]);
        });
    }
    return result;
}

// Turns into an output of the turned size (a portrait one for quarter turns of a landscape photo)
// move whole pixels; into any other size the turned picture is stretched bilinearly.
TEST(NLEPixelRotateEffectTest, EveryTypeIntoEveryOutputShape) {
    const cv::Mat landscape = qortest::samplePicture("coffee.png", 150)(cv::Rect(3, 5, 301, 200)).clone();
    const cv::Mat square = qortest::noisePicture(64, 64, 11);
    auto effect = qortest::makeEffect<NLEPixelRotateEffect>();  // one effect: its scratch images are reused
    struct Case {
        const cv::Mat& picture;
        int rotateType;
        cv::Size outSize;
    };
    for (const Case& c : {Case{landscape, 0, {200, 301}}, Case{landscape, 2, {200, 301}},
                          Case{landscape, 1, {301, 200}}, Case{landscape, 3, {301, 200}},
                          Case{landscape, 4, {301, 200}}, Case{square, 2, {64, 64}}, Case{landscape, 0, {301, 200}},
                          Case{landscape, 4, {150, 100}}}) {
        SCOPED_TRACE("type " + std::to_string(c.rotateType) + " into " + std::to_string(c.outSize.width));
        qortest::setInt(*effect, "rotateType", c.rotateType);
        PaddedFrame in = PaddedFrame::from(c.picture, 8);
        PaddedFrame out = qortest::untouchedFrame(c.outSize.width, c.outSize.height);
        ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
        cv::Mat expected = oriented(c.picture, c.rotateType);
        if (expected.size() != c.outSize) cv::resize(expected, expected, c.outSize, 0, 0, cv::INTER_LINEAR);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
        EXPECT_TRUE(out.paddingIntact());
    }
}

// Rendered in place (one square buffer as input and output), every type still reads the input
// before any band overwrites it.
TEST(NLEPixelRotateEffectTest, InPlaceOnASquareFrame) {
    const cv::Mat square = qortest::samplePicture("coffee.png", 90)(cv::Rect(10, 4, 151, 151)).clone();
    auto effect = qortest::makeEffect<NLEPixelRotateEffect>();
    for (int rotateType = 0; rotateType <= 4; ++rotateType) {
        qortest::setInt(*effect, "rotateType", rotateType);
        PaddedFrame frame = PaddedFrame::from(square, 4);
        ASSERT_EQ(qortest::render(*effect, frame.frame(), frame.frame()), 0);
        EXPECT_EQ(qortest::differingBytes(frame.mat(), oriented(square, rotateType)), 0) << rotateType;
    }
}

TEST(NLEPixelRotateEffectTest, TypesOutsideZeroToFourLeaveTheOutputAloneAndBadBuffersAreRefused) {
    auto effect = qortest::makeEffect<NLEPixelRotateEffect>();
    qortest::expectRefusals(*effect, std::nullopt);
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(30, 20, 3));
    PaddedFrame out = qortest::untouchedFrame(30, 20);
    for (const int rotateType : {-1, 5, 6, 1000}) {
        qortest::setInt(*effect, "rotateType", rotateType);
        EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0) << rotateType;
    }
    EXPECT_TRUE(qortest::leftUntouched(out));
}

}  // namespace
