#include "plugins/qorCommonFxPlugin/NLEToneMapToSelectColor.h"

#include <algorithm>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::kUntouched;
using qortest::PaddedFrame;
using qortest::untouchedFrame;

constexpr auto mul = qortest::multiplyRounded;

struct Duotone {
    cv::Vec3b dark, light;
    int strength;  // percent
};

int32_t pack(cv::Vec3b colour) { return colour[0] | colour[1] << 8 | colour[2] << 16; }

std::unique_ptr<NLEToneMapToSelectColor> toneMap(const Duotone& d) {
    auto effect = qortest::makeEffect<NLEToneMapToSelectColor>();
    qortest::setInt(*effect, "darkLuma", pack(d.dark));
    qortest::setInt(*effect, "lightLuma", pack(d.light));
    qortest::setInt(*effect, "Strength", d.strength);
    return effect;
}

// Reference in integer arithmetic: the position 255 (g - min) / (max - min + 0.01), truncated,
// is 25500 (g - min) / (100 (max - min) + 1).
cv::Mat referenceToneMap(const cv::Mat& in, const Duotone& d) {
    cv::Mat grey;
    cv::cvtColor(in, grey, cv::COLOR_BGRA2GRAY);
    double low, high;
    cv::minMaxLoc(grey, &low, &high);
    const int k = d.strength * 255 / 100;
    cv::Mat out(in.size(), CV_8UC4);
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const int u = 25500 * (grey.at<uint8_t>(y, x) - static_cast<int>(low)) / (100 * static_cast<int>(high - low) + 1);
            const cv::Vec4b p = in.at<cv::Vec4b>(y, x);
            cv::Vec4b& o = out.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c) {
                const int tone = std::min(255, mul(d.dark[c], 255 - u) + mul(d.light[c], u));
                o[c] = static_cast<uint8_t>(mul(std::min(255, mul(tone, k) + mul(p[c], 255 - k)), p[3]));
            }
            o[3] = p[3];
        }
    }
    return out;
}

// Grey pixels 0..255 along each row, alpha below 255 and fully transparent in the last row.
cv::Mat greyRamp(int rows) {
    cv::Mat ramp(rows, 256, CV_8UC4);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < 256; ++x) {
            const auto v = static_cast<uint8_t>(x);
            ramp.at<cv::Vec4b>(y, x) = cv::Vec4b(v, v, v, y == rows - 1 ? 0 : 200);
        }
    }
    return ramp;
}

TEST(NLEToneMapToSelectColorTest, FactoryBuildsItForAlgorithmType108) { EXPECT_TRUE(qortest::factoryBuilds<NLEToneMapToSelectColor>(108)); }

TEST(NLEToneMapToSelectColorTest, FlatFrameTakesTheDarkColourMixedByStrength) {
    const cv::Vec3b dark(10, 120, 240), light(250, 251, 252);
    PaddedFrame in = PaddedFrame::from(cv::Mat(9, 17, CV_8UC4, cv::Scalar(100, 150, 200, 180)));
    for (int strength : {0, 40, 100}) {
        PaddedFrame out = untouchedFrame(17, 9);
        ASSERT_EQ(qortest::render(*toneMap({dark, light, strength}), out.frame(), in.frame()), 0);
        const int k = strength * 255 / 100;
        const cv::Vec4b expected(static_cast<uint8_t>(mul(mul(10, k) + mul(100, 255 - k), 180)),
                                 static_cast<uint8_t>(mul(mul(120, k) + mul(150, 255 - k), 180)),
                                 static_cast<uint8_t>(mul(mul(240, k) + mul(200, 255 - k), 180)), 180);
        const cv::Mat expectedFrame(9, 17, CV_8UC4, cv::Scalar(expected));
        EXPECT_EQ(qortest::differingBytes(out.mat(), expectedFrame), 0) << strength;
        EXPECT_TRUE(out.paddingIntact());
    }
}

TEST(NLEToneMapToSelectColorTest, FullRangeRampStopsOneShortOfTheLightColour) {
    const cv::Mat ramp = greyRamp(3);
    PaddedFrame in = PaddedFrame::from(ramp, 8);
    PaddedFrame out = untouchedFrame(256, 3);
    // Black to white at full strength: the tone is the position itself, premultiplied.
    ASSERT_EQ(qortest::render(*toneMap({{0, 0, 0}, {255, 255, 255}, 100}), out.frame(), in.frame()), 0);
    const cv::Mat result = out.mat();
    EXPECT_EQ(result.at<cv::Vec4b>(0, 0), cv::Vec4b(0, 0, 0, 200));
    EXPECT_EQ(result.at<cv::Vec4b>(0, 255), cv::Vec4b(199, 199, 199, 200));  // u = 254, 254 * 200 / 255
    EXPECT_EQ(result.at<cv::Vec4b>(2, 128), cv::Vec4b(0, 0, 0, 0));          // transparent: black
    EXPECT_EQ(qortest::differingBytes(result, referenceToneMap(ramp, {{0, 0, 0}, {255, 255, 255}, 100})), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEToneMapToSelectColorTest, MissingParametersMeanBlackToWhiteAtFullStrength) {
    const cv::Mat ramp = greyRamp(2);
    PaddedFrame in = PaddedFrame::from(ramp);
    PaddedFrame out = untouchedFrame(256, 2);
    auto effect = qortest::makeEffect<NLEToneMapToSelectColor>();
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), referenceToneMap(ramp, {{0, 0, 0}, {255, 255, 255}, 100})), 0);
}

TEST(NLEToneMapToSelectColorTest, PhotosFollowTheIntegerReference) {
    const Duotone duotones[] = {{{40, 10, 90}, {180, 230, 250}, 100}, {{0, 60, 0}, {255, 200, 120}, 60}, {{5, 5, 5}, {9, 9, 9}, 0}};
    for (const char* name : {"rocket.jpg", "chelsea.png"}) {
        for (const Duotone& d : duotones) {
            SCOPED_TRACE(std::string(name) + " strength " + std::to_string(d.strength));
            const cv::Mat picture = qortest::samplePicture(name, 170);
            PaddedFrame in = PaddedFrame::from(picture, 12);
            PaddedFrame out = untouchedFrame(picture.cols, picture.rows, 4);
            ASSERT_EQ(qortest::render(*toneMap(d), out.frame(), in.frame()), 0);
            EXPECT_EQ(qortest::differingBytes(out.mat(), referenceToneMap(picture, d)), 0);
            EXPECT_TRUE(out.paddingIntact());
            EXPECT_TRUE(in.paddingIntact());
        }
    }
}

// Four pixels go through at a time and the rest one by one: every width from 1 to 9 and rows
// starting at every 4-byte offset within 16 bytes must agree with the reference.
TEST(NLEToneMapToSelectColorTest, NarrowFramesAtEveryAlignmentFollowTheReference) {
    const Duotone d{{30, 60, 90}, {250, 200, 150}, 55};
    for (int width = 1; width <= 9; ++width) {
        for (int padding : {0, 4, 8, 12}) {
            const cv::Mat picture = qortest::noisePicture(width, 5, width * 16 + padding);
            PaddedFrame in = PaddedFrame::from(picture, padding);
            PaddedFrame out = untouchedFrame(width, 5, 16 - padding);
            ASSERT_EQ(qortest::render(*toneMap(d), out.frame(), in.frame()), 0);
            EXPECT_EQ(qortest::differingBytes(out.mat(), referenceToneMap(picture, d)), 0) << width << " / " << padding;
            EXPECT_TRUE(out.paddingIntact());
        }
    }
}

TEST(NLEToneMapToSelectColorTest, StrengthOutsidePercentIsHeldToTheRange) {
    const cv::Mat picture = qortest::noisePicture(31, 17, 8);
    PaddedFrame in = PaddedFrame::from(picture);
    for (auto [given, used] : {std::pair{250, 100}, std::pair{-30, 0}}) {
        PaddedFrame out = untouchedFrame(31, 17);
        ASSERT_EQ(qortest::render(*toneMap({{1, 2, 3}, {200, 100, 50}, given}), out.frame(), in.frame()), 0);
        EXPECT_EQ(qortest::differingBytes(out.mat(), referenceToneMap(picture, {{1, 2, 3}, {200, 100, 50}, used})), 0);
    }
}

TEST(NLEToneMapToSelectColorTest, RefusalsLeaveTheOutputAndItsPaddingUntouched) {
    qortest::expectRefusalsLeaveOutputUntouched(*qortest::makeEffect<NLEToneMapToSelectColor>(), 1);
}

}  // namespace
