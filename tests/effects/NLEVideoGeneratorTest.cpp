#include "plugins/qorCommonFxPlugin/NLEVideoGenerator.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "effects/OverlayReference.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace {

using qortest::PaddedFrame;

struct Colour {
    float red, green, blue;
};

int colourByte(float component) { return static_cast<int>(component * 255); }

// Square root by the bit-level reciprocal estimate and one Newton step.

// The generated frame written from the description of the effect, one pixel at a time.
cv::Mat generatedReference(const cv::Mat& input, int matteChannel, bool gradient, float theta, const Colour& first,
                           const Colour& second) {
    const int from[3] = {colourByte(first.blue), colourByte(first.green), colourByte(first.red)};
    const int to[3] = {colourByte(second.blue), colourByte(second.green), colourByte(second.red)};
    const float angleA = -theta * 0.017453292f;
    const float angleB = (-theta + 180) * 0.017453292f;
    const float ax = static_cast<float>(0.5 + 0.7 * std::cos(angleA));
    const float ay = static_cast<float>(0.5 + 0.7 * std::sin(angleA));
    const float bx = static_cast<float>(0.5 + 0.7 * std::cos(angleB));
    const float by = static_cast<float>(0.5 + 0.7 * std::sin(angleB));
    cv::Mat expected(input.size(), CV_8UC4);
    for (int y = 0; y < input.rows; ++y) {
        for (int x = 0; x < input.cols; ++x) {
            const int s = input.at<cv::Vec4b>(y, x)[matteChannel];
            int colour[3] = {from[0], from[1], from[2]};
            if (gradient) {
                const float u = static_cast<float>(x) / static_cast<float>(input.cols);
                const float v = static_cast<float>(y) / static_cast<float>(input.rows);
                const double weightA = overlayref::approximateSqrt((u - ax) * (u - ax) + (v - ay) * (v - ay)) / 1.4;
                const double weightB = overlayref::approximateSqrt((u - bx) * (u - bx) + (v - by) * (v - by)) / 1.4;
                for (int k = 0; k < 3; ++k) {
                    const double mixed = std::nearbyint(from[k] * weightA + to[k] * weightB);
                    colour[k] = static_cast<int>(std::min(255.0, std::max(0.0, mixed)));
                }
            }
            cv::Vec4b& pixel = expected.at<cv::Vec4b>(y, x);
            for (int k = 0; k < 3; ++k) pixel[k] = static_cast<uint8_t>(overlayref::mul(s, colour[k]));
            pixel[3] = static_cast<uint8_t>(s);
        }
    }
    return expected;
}

// channelChoose 0..3 name red, green, blue and alpha: BGRA bytes 2, 1, 0, 3.
constexpr int kMatteByte[4] = {2, 1, 0, 3};

class NLEVideoGeneratorTest : public ::testing::Test {
protected:
    void setColours(const Colour& first, const Colour& second) {
        qortest::setFloat(*effect, "r0", first.red);
        qortest::setFloat(*effect, "g0", first.green);
        qortest::setFloat(*effect, "b0", first.blue);
        qortest::setFloat(*effect, "r1", second.red);
        qortest::setFloat(*effect, "g1", second.green);
        qortest::setFloat(*effect, "b1", second.blue);
    }
    void configure(int mode, int channel, float theta) {
        qortest::setInt(*effect, "mode", mode);
        qortest::setInt(*effect, "channelChoose", channel);
        qortest::setFloat(*effect, "theta", theta);
    }

    std::unique_ptr<NLEVideoGenerator> effect = qortest::makeEffect<NLEVideoGenerator>();
    const Colour orange{0.9f, 0.5f, 0.1f};
    const Colour teal{0.05f, 0.6f, 0.7f};
};

TEST_F(NLEVideoGeneratorTest, SolidColourInEveryMatteChannel) {
    const cv::Mat picture = qortest::noisePicture(45, 31, 11);
    PaddedFrame in = PaddedFrame::from(picture, 8);
    setColours(orange, teal);
    for (int channel = 0; channel < 4; ++channel) {
        PaddedFrame out(45, 31, 20);
        configure(0, channel, 0.0f);
        ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
        EXPECT_EQ(qortest::differingBytes(out.mat(), generatedReference(picture, kMatteByte[channel], false, 0.0f,
                                                                         orange, teal)),
                  0)
            << "channelChoose " << channel;
        EXPECT_TRUE(out.paddingIntact());
        // Colour bytes are truncated: 0.9 * 255 = 229.5 gives 229.
        const cv::Vec4b& source = picture.at<cv::Vec4b>(4, 9);
        EXPECT_EQ(out.mat().at<cv::Vec4b>(4, 9)[2], overlayref::mul(source[kMatteByte[channel]], 229));
    }
}

TEST_F(NLEVideoGeneratorTest, SolidOnOpaqueAlphaIsTheColourAndOnBlackRedIsTransparent) {
    PaddedFrame black(16, 8);
    black.mat().setTo(cv::Scalar(0, 0, 0, 255));
    PaddedFrame out(16, 8);
    setColours({1.0f, 0.0f, 0.5f}, teal);
    configure(0, 3, 0.0f);
    ASSERT_EQ(qortest::render(*effect, out.frame(), black.frame()), 0);
    EXPECT_EQ(out.mat().at<cv::Vec4b>(5, 7), cv::Vec4b(127, 0, 255, 255));
    configure(0, 0, 0.0f);
    ASSERT_EQ(qortest::render(*effect, out.frame(), black.frame()), 0);
    EXPECT_EQ(cv::countNonZero(out.mat().reshape(1)), 0);
}

TEST_F(NLEVideoGeneratorTest, GradientMatchesTheDescriptionOnOddWidthsAndAngles) {
    setColours(orange, teal);
    for (const int width : {1, 3, 5, 6, 7, 33, 130}) {
        const cv::Mat picture = qortest::noisePicture(width, 19, static_cast<uint32_t>(width));
        PaddedFrame in = PaddedFrame::from(picture, 4);
        for (const float theta : {0.0f, 30.0f, 90.0f, 200.0f, -45.0f, 1234.5f}) {
            PaddedFrame out(width, 19, 12);
            configure(1, 1, theta);
            ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
            EXPECT_EQ(qortest::differingBytes(out.mat(), generatedReference(picture, 1, true, theta, orange, teal)), 0)
                << "width " << width << " theta " << theta;
            EXPECT_TRUE(out.paddingIntact());
        }
    }
}

TEST_F(NLEVideoGeneratorTest, GradientOnAPhotoWithPartialAlpha) {
    const cv::Mat photo = qortest::samplePicture("astronaut.png", 200)(cv::Rect(0, 0, 257, 181)).clone();
    PaddedFrame in = PaddedFrame::from(photo, 16);
    PaddedFrame out(257, 181, 8);
    setColours({0.2f, 0.9f, 0.3f}, {1.0f, 0.0f, 1.0f});
    for (const int channel : {3, 0}) {
        configure(7, channel, 135.0f);
        ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
        EXPECT_EQ(qortest::differingBytes(out.mat(), generatedReference(photo, kMatteByte[channel], true, 135.0f,
                                                                         {0.2f, 0.9f, 0.3f}, {1.0f, 0.0f, 1.0f})),
                  0);
        EXPECT_TRUE(out.paddingIntact());
    }
}

TEST_F(NLEVideoGeneratorTest, ThetaZeroRunsFromTheFirstColourOnTheLeftToTheSecondOnTheRight) {
    PaddedFrame in(200, 101);
    in.mat().setTo(cv::Scalar(0, 0, 0, 255));
    PaddedFrame out(200, 101);
    setColours({1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f});
    configure(1, 3, 0.0f);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    const cv::Mat middle = out.mat().row(50);
    for (int x = 1; x < 200; ++x) {
        EXPECT_LE(middle.at<cv::Vec4b>(0, x)[2], middle.at<cv::Vec4b>(0, x - 1)[2]) << x;  // red fades
        EXPECT_GE(middle.at<cv::Vec4b>(0, x)[0], middle.at<cv::Vec4b>(0, x - 1)[0]) << x;  // blue grows
    }
    // At the left edge the anchors are 1.2 and 0.2 away: weights 6/7 and 1/7.
    EXPECT_NEAR(middle.at<cv::Vec4b>(0, 0)[2], 255 * 6 / 7.0, 1.0);
    EXPECT_NEAR(middle.at<cv::Vec4b>(0, 0)[0], 255 / 7.0, 1.0);
    EXPECT_GT(middle.at<cv::Vec4b>(0, 199)[0], 200);
    EXPECT_LT(middle.at<cv::Vec4b>(0, 199)[2], 60);
}

TEST_F(NLEVideoGeneratorTest, KeptGradientFollowsAngleColourAndSizeChanges) {
    const cv::Mat large = qortest::noisePicture(64, 40, 21);
    const cv::Mat small = large(cv::Rect(0, 0, 50, 30)).clone();
    PaddedFrame largeIn = PaddedFrame::from(large);
    PaddedFrame smallIn = PaddedFrame::from(small);
    PaddedFrame out(64, 40);
    setColours(orange, teal);
    configure(1, 2, 10.0f);
    ASSERT_EQ(qortest::render(*effect, out.frame(), largeIn.frame()), 0);

    configure(1, 2, 100.0f);
    ASSERT_EQ(qortest::render(*effect, out.frame(), largeIn.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), generatedReference(large, 0, true, 100.0f, orange, teal)), 0);

    setColours(teal, orange);
    ASSERT_EQ(qortest::render(*effect, out.frame(), largeIn.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), generatedReference(large, 0, true, 100.0f, teal, orange)), 0);

    PaddedFrame smallOut(50, 30);
    ASSERT_EQ(qortest::render(*effect, smallOut.frame(), smallIn.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(smallOut.mat(), generatedReference(small, 0, true, 100.0f, teal, orange)), 0);
}

TEST_F(NLEVideoGeneratorTest, ColourComponentsOutsideTheUnitRangeSaturate) {
    PaddedFrame in(8, 4);
    in.mat().setTo(cv::Scalar(0, 0, 0, 255));
    PaddedFrame out(8, 4);
    setColours({2.5f, -1.0f, std::numeric_limits<float>::quiet_NaN()}, teal);
    configure(0, 3, 0.0f);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    EXPECT_EQ(out.mat().at<cv::Vec4b>(2, 3), cv::Vec4b(0, 0, 255, 255));
}

TEST_F(NLEVideoGeneratorTest, UnknownMatteChannelLeavesTheOutputUntouched) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(12, 9, 2));
    PaddedFrame out = PaddedFrame::from(qortest::noisePicture(12, 9, 3));
    const std::vector<uint8_t> before = out.bytes();
    for (const int channel : {4, -1, 1000}) {
        for (const int mode : {0, 1}) {
            configure(mode, channel, 0.0f);
            EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
            EXPECT_EQ(out.bytes(), before);
        }
    }
}

TEST_F(NLEVideoGeneratorTest, RefusesBuffersThatDoNotFitAndLeavesTheOutputUntouched) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(30, 20, 4));
    configure(1, 3, 45.0f);
    setColours(orange, teal);
    const auto refused = [&](PaddedFrame& out, const tessel::Frame& outFrame, const tessel::Frame& inFrame) {
        overlayref::expectRefused(*effect, out, outFrame, inFrame);
    };
    PaddedFrame narrow(29, 20);
    refused(narrow, narrow.frame(), in.frame());
    PaddedFrame low(30, 19);
    refused(low, low.frame(), in.frame());
    PaddedFrame out(30, 20);
    refused(out, {nullptr, 30, 20, out.stride()}, in.frame());
    refused(out, out.frame(), {nullptr, 30, 20, in.stride()});
    refused(out, {out.data(), 30, 20, 30 * 4 - 2}, in.frame());
    refused(out, out.frame(), {in.data(), 30, 0, in.stride()});
}

}  // namespace
