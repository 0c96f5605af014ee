// Skin colour and white skin: one offset on red, or on blue, green and red, of every pixel.

#include <gtest/gtest.h>

#include "plugins/qorCommonFxPlugin/beauty/NLEBeautySkinColorEffect.h"
#include "plugins/qorCommonFxPlugin/beauty/NLEBeautyWhiteSkinEffect.h"
#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;

struct PixelCase {
    float level;
    cv::Vec4b in, out;
};

template <class Effect>
void expectPixels(const char* param, std::initializer_list<PixelCase> cases) {
    for (const PixelCase& c : cases) {
        auto effect = qortest::makeEffect<Effect>();
        qortest::setFloat(*effect, param, c.level);
        const cv::Mat picture(3, 5, CV_8UC4, cv::Scalar(c.in));
        const cv::Mat result = qortest::rendered(*effect, picture);
        EXPECT_EQ(result.at<cv::Vec4b>(2, 4), c.out) << param << " " << c.level << " on " << c.in;
        EXPECT_EQ(qortest::differingBytes(result, cv::Mat(3, 5, CV_8UC4, cv::Scalar(c.out))), 0);
    }
}

// Levels that are refused leave the output as the host gave it.
template <class Effect>
void expectRefusedLevels(const char* param, std::initializer_list<float> levels) {
    for (const float level : levels) {
        auto effect = qortest::makeEffect<Effect>();
        qortest::setFloat(*effect, param, level);
        PaddedFrame in = PaddedFrame::from(qortest::noisePicture(9, 4, 3));
        PaddedFrame out = qortest::untouchedFrame(9, 4);
        EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 3) << param << " " << level;
        EXPECT_TRUE(qortest::leftUntouched(out));
    }
}

TEST(NLEBeautySkinColorEffectTest, RaisesRedByATenthOfTheLevelRoundingTiesToEven) {
    expectPixels<NLEBeautySkinColorEffect>(
        "color_lev", {{10, {7, 8, 254, 9}, {7, 8, 255, 9}}, {10, {0, 0, 255, 0}, {0, 0, 255, 0}},
                      {5, {1, 1, 2, 200}, {1, 1, 2, 200}}, {5, {1, 1, 3, 200}, {1, 1, 4, 200}}});
}

TEST(NLEBeautySkinColorEffectTest, RefusesLevelsThatWouldNotRaiseRed) {
    expectRefusedLevels<NLEBeautySkinColorEffect>("color_lev", {0.0f, -20.0f, NAN});
    auto effect = qortest::makeEffect<NLEBeautySkinColorEffect>();
    qortest::setFloat(*effect, "color_lev", 30);
    qortest::expectRefusals(*effect, 1);
}

TEST(NLEBeautyWhiteSkinEffectTest, AddsAQuarterOfTheLevelToColourRoundingTiesToEven) {
    expectPixels<NLEBeautyWhiteSkinEffect>(
        "white_lev", {{40, {250, 100, 0, 128}, {255, 110, 10, 128}}, {2, {4, 5, 4, 3}, {4, 6, 4, 3}},
                      {0, {250, 100, 0, 128}, {250, 100, 0, 128}}});
}

TEST(NLEBeautyWhiteSkinEffectTest, RefusesNegativeLevels) {
    expectRefusedLevels<NLEBeautyWhiteSkinEffect>("white_lev", {-4.0f, NAN});
    auto effect = qortest::makeEffect<NLEBeautyWhiteSkinEffect>();
    qortest::expectRefusals(*effect, 1);
}

}  // namespace
