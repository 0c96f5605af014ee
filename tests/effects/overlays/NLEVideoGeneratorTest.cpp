#include "plugins/qorCommonFxPlugin/overlays/NLEVideoGenerator.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "effects/overlays/OverlayReference.h"
#include "support/EffectChecks.h"

namespace {

struct Colour {
    float red, green, blue;
};

// channelChoose 0..3 name red, green, blue and alpha: BGRA bytes 2, 1, 0, 3.
constexpr int kMatteByte[4] = {2, 1, 0, 3};

// The generated frame written from the description of the effect, one pixel at a time.
cv::Mat generatedReference(const cv::Mat& input, int channel, bool gradient, float theta, const Colour& first,
                           const Colour& second) {
    const auto bytes = [](const Colour& c) {  // truncated
        return cv::Vec3i(static_cast<int>(c.blue * 255), static_cast<int>(c.green * 255),
                         static_cast<int>(c.red * 255));
    };
    const cv::Vec3i from = bytes(first), to = bytes(second);
    const float angleA = -theta * 0.017453292f, angleB = (-theta + 180) * 0.017453292f;
    const float ax = static_cast<float>(0.5 + 0.7 * std::cos(angleA));
    const float ay = static_cast<float>(0.5 + 0.7 * std::sin(angleA));
    const float bx = static_cast<float>(0.5 + 0.7 * std::cos(angleB));
    const float by = static_cast<float>(0.5 + 0.7 * std::sin(angleB));
    cv::Mat expected(input.size(), CV_8UC4);
    for (int y = 0; y < input.rows; ++y) {
        for (int x = 0; x < input.cols; ++x) {
            const int s = input.at<cv::Vec4b>(y, x)[kMatteByte[channel]];
            const float u = static_cast<float>(x) / static_cast<float>(input.cols);
            const float v = static_cast<float>(y) / static_cast<float>(input.rows);
            const double weightA = overlayref::approximateSqrt((u - ax) * (u - ax) + (v - ay) * (v - ay)) / 1.4;
            const double weightB = overlayref::approximateSqrt((u - bx) * (u - bx) + (v - by) * (v - by)) / 1.4;
            cv::Vec4b& pixel = expected.at<cv::Vec4b>(y, x);
            for (int k = 0; k < 3; ++k) {
                const double mixed = std::nearbyint(from[k] * weightA + to[k] * weightB);
                const int colour = gradient ? static_cast<int>(std::min(255.0, std::max(0.0, mixed))) : from[k];
                pixel[k] = static_cast<uint8_t>(overlayref::mul(s, colour));
            }
            pixel[3] = static_cast<uint8_t>(s);
        }
    }
    return expected;
}

class NLEVideoGeneratorTest : public ::testing::Test {
protected:
    void configure(int mode, int channel, float theta, const Colour& first, const Colour& second) {
        qortest::setInts(*effect, {{"mode", mode}, {"channelChoose", channel}});
        qortest::setFloats(*effect, {{"theta", theta}, {"r0", first.red}, {"g0", first.green}, {"b0", first.blue},
                                     {"r1", second.red}, {"g1", second.green}, {"b1", second.blue}});
    }
    cv::Mat render(const cv::Mat& picture) { return qortest::rendered(*effect, picture); }

    std::unique_ptr<NLEVideoGenerator> effect = qortest::makeEffect<NLEVideoGenerator>();
    const Colour orange{0.9f, 0.5f, 0.1f}, teal{0.05f, 0.6f, 0.7f};
};

TEST_F(NLEVideoGeneratorTest, SolidColourInEveryMatteChannel) {
    const cv::Mat picture = qortest::noisePicture(45, 31, 11);
    for (int channel = 0; channel < 4; ++channel) {
        configure(0, channel, 0.0f, orange, teal);
        const cv::Mat result = render(picture);
        EXPECT_EQ(qortest::differingBytes(result, generatedReference(picture, channel, false, 0, orange, teal)), 0)
            << "channelChoose " << channel;
        // Colour bytes are truncated: 0.9 * 255 = 229.5 gives 229.
        const int matte = picture.at<cv::Vec4b>(4, 9)[kMatteByte[channel]];
        EXPECT_EQ(result.at<cv::Vec4b>(4, 9)[2], overlayref::mul(matte, 229));
    }
}

// Odd widths leave remainders after the sixteen-pixel steps; any mode but 0 is the gradient.
TEST_F(NLEVideoGeneratorTest, GradientFollowsTheReferenceOnOddWidthsAnglesAndAPhoto) {
    for (const int width : {1, 3, 5, 6, 7, 33, 130}) {
        const cv::Mat picture = qortest::noisePicture(width, 19, static_cast<uint32_t>(width));
        for (const float theta : {0.0f, 30.0f, 90.0f, 200.0f, -45.0f, 1234.5f}) {
            configure(1, 1, theta, orange, teal);
            const cv::Mat expected = generatedReference(picture, 1, true, theta, orange, teal);
            EXPECT_EQ(qortest::differingBytes(render(picture), expected), 0) << "width " << width << " theta " << theta;
        }
    }
    const cv::Mat photo = qortest::samplePicture("astronaut.png", 200)(cv::Rect(0, 0, 257, 181)).clone();
    const Colour green{0.2f, 0.9f, 0.3f}, magenta{1.0f, 0.0f, 1.0f};
    for (const int channel : {3, 0}) {
        configure(7, channel, 135.0f, green, magenta);
        const cv::Mat expected = generatedReference(photo, channel, true, 135, green, magenta);
        EXPECT_EQ(qortest::differingBytes(render(photo), expected), 0) << channel;
    }
}

// On an opaque black frame under the alpha matte, colour components outside 0..1 (or not a
// number) saturate.
TEST_F(NLEVideoGeneratorTest, SolidColourComponentsOutsideTheUnitRangeSaturate) {
    const cv::Mat black(4, 8, CV_8UC4, cv::Scalar(0, 0, 0, 255));
    configure(0, 3, 0.0f, {2.5f, -1.0f, std::numeric_limits<float>::quiet_NaN()}, teal);
    EXPECT_EQ(qortest::differingBytes(render(black), cv::Mat(4, 8, CV_8UC4, cv::Scalar(0, 0, 255, 255))), 0);
}

TEST_F(NLEVideoGeneratorTest, UnknownMatteChannelLeavesTheOutputUntouched) {
    qortest::PaddedFrame in = qortest::PaddedFrame::from(qortest::noisePicture(12, 9, 2));
    qortest::PaddedFrame out = qortest::untouchedFrame(12, 9);
    for (const int channel : {4, -1, 1000}) {
        for (const int mode : {0, 1}) {
            configure(mode, channel, 0.0f, orange, teal);
            EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
        }
    }
    EXPECT_TRUE(qortest::leftUntouched(out));
}

TEST_F(NLEVideoGeneratorTest, RefusesBuffersThatDoNotFit) { qortest::expectRefusals(*effect, 1); }

}  // namespace
