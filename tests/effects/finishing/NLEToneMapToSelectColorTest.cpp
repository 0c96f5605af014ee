#include "plugins/qorCommonFxPlugin/finishing/NLEToneMapToSelectColor.h"

#include <algorithm>
#include <optional>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

constexpr auto mul = qortest::multiplyRounded;

struct Duotone {
    cv::Vec3b dark, light;
    int strength;  // percent
};

const Duotone kBlackToWhite{{0, 0, 0}, {255, 255, 255}, 100};

int32_t pack(cv::Vec3b colour) { return colour[0] | colour[1] << 8 | colour[2] << 16; }

// Renders `picture` with `given` (nothing set when empty) and returns the output's pixels.
cv::Mat toneMapped(const cv::Mat& picture, const std::optional<Duotone>& given, int inPadding = 12,
                   int outPadding = 4) {
    auto effect = qortest::makeEffect<NLEToneMapToSelectColor>();
    if (given) {
        qortest::setInts(*effect, {{"darkLuma", pack(given->dark)}, {"lightLuma", pack(given->light)},
                                   {"Strength", given->strength}});
    }
    return qortest::rendered(*effect, picture, {}, inPadding, outPadding);
}

// Reference in integer arithmetic: the position 255 (g - min) / (max - min + 0.01), truncated,
// is 25500 (g - min) / (100 (max - min) + 1).
cv::Mat referenceToneMap(const cv::Mat& in, const Duotone& d) {
    cv::Mat grey;
    cv::cvtColor(in, grey, cv::COLOR_BGRA2GRAY);
    double low, high;
    cv::minMaxLoc(grey, &low, &high);
    const int k = d.strength * 255 / 100, range = 100 * static_cast<int>(high - low) + 1;
    cv::Mat out(in.size(), CV_8UC4);
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const int u = 25500 * (grey.at<uint8_t>(y, x) - static_cast<int>(low)) / range;
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
    ramp.forEach<cv::Vec4b>([rows](cv::Vec4b& p, const int* at) {
        const auto v = static_cast<uint8_t>(at[1]);
        p = cv::Vec4b(v, v, v, at[0] == rows - 1 ? 0 : 200);
    });
    return ramp;
}

TEST(NLEToneMapToSelectColorTest, FlatFrameTakesTheDarkColourMixedByStrength) {
    const cv::Mat picture(9, 17, CV_8UC4, cv::Scalar(100, 150, 200, 180));
    for (const int strength : {0, 40, 100}) {
        const int k = strength * 255 / 100;
        const auto channel = [k](int dark, int own) { return mul(mul(dark, k) + mul(own, 255 - k), 180); };
        const cv::Mat expected(9, 17, CV_8UC4, cv::Scalar(channel(10, 100), channel(120, 150), channel(240, 200), 180));
        EXPECT_EQ(qortest::differingBytes(toneMapped(picture, Duotone{{10, 120, 240}, {250, 251, 252}, strength}),
                                          expected), 0) << strength;
    }
}

// Black to white at full strength: the tone is the position itself, premultiplied.
TEST(NLEToneMapToSelectColorTest, FullRangeRampStopsOneShortOfTheLightColour) {
    const cv::Mat ramp = greyRamp(3);
    EXPECT_EQ(qortest::differingBytes(toneMapped(ramp, kBlackToWhite, 8), referenceToneMap(ramp, kBlackToWhite)), 0);
}

TEST(NLEToneMapToSelectColorTest, PhotosFollowTheIntegerReference) {
    const Duotone duotones[] = {{{40, 10, 90}, {180, 230, 250}, 100}, {{0, 60, 0}, {255, 200, 120}, 60},
                                {{5, 5, 5}, {9, 9, 9}, 0}};
    for (const char* name : {"rocket.jpg", "chelsea.png"}) {
        const cv::Mat picture = qortest::samplePicture(name, 170);
        for (const Duotone& d : duotones) {
            EXPECT_EQ(qortest::differingBytes(toneMapped(picture, d), referenceToneMap(picture, d)), 0)
                << name << " strength " << d.strength;
        }
    }
}

// Four pixels go through at a time and the rest one by one: every width from 1 to 9 and rows
// starting at every 4-byte offset within 16 bytes must agree with the reference.
TEST(NLEToneMapToSelectColorTest, NarrowFramesAtEveryAlignmentFollowTheReference) {
    const Duotone d{{30, 60, 90}, {250, 200, 150}, 55};
    for (int width = 1; width <= 9; ++width) {
        for (const int padding : {0, 4, 8, 12}) {
            const cv::Mat picture = qortest::noisePicture(width, 5, width * 16 + padding);
            const cv::Mat result = toneMapped(picture, d, padding, 16 - padding);
            EXPECT_EQ(qortest::differingBytes(result, referenceToneMap(picture, d)), 0) << width << " / " << padding;
        }
    }
}

// Missing parameters mean black to white at full strength; strengths outside 0..100 are held to it.
TEST(NLEToneMapToSelectColorTest, MissingOrOutOfRangeParameters) {
    const cv::Mat ramp = greyRamp(2), noise = qortest::noisePicture(31, 17, 8);
    EXPECT_EQ(qortest::differingBytes(toneMapped(ramp, std::nullopt), referenceToneMap(ramp, kBlackToWhite)), 0);
    for (const auto& [given, used] : {std::pair{250, 100}, std::pair{-30, 0}}) {
        EXPECT_EQ(qortest::differingBytes(toneMapped(noise, Duotone{{1, 2, 3}, {200, 100, 50}, given}),
                                          referenceToneMap(noise, {{1, 2, 3}, {200, 100, 50}, used})), 0) << given;
    }
}

TEST(NLEToneMapToSelectColorTest, RefusesBuffersThatDoNotFit) {
    qortest::expectRefusals(*qortest::makeEffect<NLEToneMapToSelectColor>(), 1);
}

}  // namespace
