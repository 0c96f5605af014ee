#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"

#include <gtest/gtest.h>

#include "plugins/qorCommonFxPlugin/colour/HslColour.h"
#include "effects/colour/ColourChecks.h"
#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;
using tessel::NLEHSLEffect;

std::unique_ptr<NLEHSLEffect> hslWith(std::initializer_list<std::pair<const char*, float>> values, int enable = 1) {
    auto effect = qortest::makeEffect<NLEHSLEffect>();
    qortest::setInt(*effect, "bEnableHSL", enable);
    qortest::setFloats(*effect, values);
    return effect;
}

cv::Mat pixels(std::initializer_list<cv::Vec4b> colours) {
    cv::Mat row(1, static_cast<int>(colours.size()), CV_8UC4);
    int x = 0;
    for (const cv::Vec4b& c : colours) row.at<cv::Vec4b>(0, x++) = c;
    return row;
}

cv::Vec4b adjusted(NLEHSLEffect& effect, const cv::Vec4b& colour) {
    return qortest::rendered(effect, pixels({colour})).at<cv::Vec4b>(0, 0);
}

// Switched off, missing the switch, or with nothing to do: 1 and the output untouched.
TEST(HslAdjustment, DeclinesWhenOffOrAllZero) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(30, 20, 2));
    PaddedFrame out = qortest::untouchedFrame(30, 20);
    auto noSwitch = qortest::makeEffect<NLEHSLEffect>();
    qortest::setFloat(*noSwitch, "Red_hueVal", 50);
    auto off = hslWith({{"Red_hueVal", 50}}, 0), zero = hslWith({{"Red_hueVal", 1e-8f}, {"Blue_satVal", 0}});
    for (NLEHSLEffect* effect : {off.get(), noSwitch.get(), zero.get()}) {
        EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 1);
    }
    EXPECT_TRUE(qortest::leftUntouched(out));
}

// Pure red lies at the red band's centre: a hue value of 100 turns it by 30 degrees to an
// orange-red, -100 to hue 330 (a pinkish red); the orange band then meets that hue 30 at its own
// centre with full weight.
TEST(HslAdjustment, RedBandTurnsAndWrapsTheHue) {
    const cv::Vec4b red(0, 0, 255, 255);
    EXPECT_EQ(adjusted(*hslWith({{"Red_hueVal", 100}}), red), cv::Vec4b(0, 128, 255, 255));
    EXPECT_EQ(adjusted(*hslWith({{"Red_hueVal", -100}}), red), cv::Vec4b(127, 0, 255, 255));
    const cv::Vec4b orange = adjusted(*hslWith({{"Red_hueVal", 100}, {"Orange_hueVal", 100}}), red);
    EXPECT_EQ(orange, cv::Vec4b(0, 213, 255, 255));  // hue 30 + 20
}

// A hue on a band's bound gets weight 0; black, white and greys have no lightness or saturation
// to scale; mid-lightness moves most; alpha is kept, also 0.
TEST(HslAdjustment, WeightsAndLightnessFactor) {
    auto orange = hslWith({{"Orange_hueVal", 100}, {"Orange_satVal", -100}, {"Orange_brightnessVal", 100}});
    const cv::Mat unchanged = pixels({{0, 255, 255, 255}, {0, 0, 0, 0}, {255, 255, 255, 9}, {90, 90, 90, 200}});
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*orange, unchanged), unchanged), 0);
    auto brighter = hslWith({{"Orange_brightnessVal", 100}});
    // Hue 30 at lightness 0.5 and 0.25: the first gains 40 %, the second 20 % (k = 1 and 0.5).
    EXPECT_EQ(adjusted(*brighter, {0, 128, 255, 0}), cv::Vec4b(102, 179, 255, 0));
    EXPECT_EQ(adjusted(*brighter, {0, 64, 128, 77}), cv::Vec4b(0, 77, 154, 77));
}

// Every colour once: the four-pixel path of the SSE2 baseline gives what the pixel operation gives
// (and every wider path the baseline's bytes), and colours outside every active band (here blue)
// leave with the bytes they came with.
TEST(HslAdjustment, EveryColourMatchesThePixelOperationAndOnlyActiveBandsChange) {
    const cv::Mat cube = qortest::everyColour();
    auto effect = hslWith({{"Blue_hueVal", 60}, {"Blue_satVal", 50}, {"Red_brightnessVal", 40}});
    effect->useSimdPath(tessel::SimdPath::sse2);
    const cv::Mat out = qortest::rendered(*effect, cube, {}, 0, 0);
    for (const tessel::SimdPath path : qortest::runnablePaths()) {
        effect->useSimdPath(path);
        EXPECT_EQ(qortest::differingBytes(qortest::rendered(*effect, cube, {}, 0, 0), out), 0)
            << tessel::simdPathName(path);
    }
    auto blueOnly = hslWith({{"Blue_hueVal", 60}, {"Blue_satVal", 50}});
    const cv::Mat blue = qortest::rendered(*blueOnly, cube, {}, 0, 0);
    int mismatches = 0, changedOutside = 0;
    for (int i = 0; i < 1 << 24; ++i) {
        const cv::Vec4b p = cube.at<cv::Vec4b>(i >> 12, i & 4095);
        cv::Vec4b single;
        effect->adjustHSLPixel(p.val, single.val);
        mismatches += single != out.at<cv::Vec4b>(i >> 12, i & 4095);
        const colour::Hsl hsl = colour::toHsl(p[2] * 0.003922f, p[1] * 0.003922f, p[0] * 0.003922f, 240);
        const bool inside = hsl.saturation > 0 && hsl.hue >= 195 && hsl.hue <= 285;
        changedOutside += !inside && p != blue.at<cv::Vec4b>(i >> 12, i & 4095);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(changedOutside, 0);
}

// Every colour converts to HSL and back to its own bytes: what lets the eight-pixel path copy
// pixels whose hue lies in no active band.
TEST(HslAdjustment, EveryColourSurvivesTheRoundTrip) {
    const auto toByte = [](float channel) { return cv::saturate_cast<uint8_t>(channel * 255.0f); };
    int changed = 0;
    for (int i = 0; i < 1 << 24; ++i) {
        const int r = i >> 16, g = (i >> 8) & 255, b = i & 255;
        float r2, g2, b2;
        colour::fromHsl(colour::toHsl(r * 0.003922f, g * 0.003922f, b * 0.003922f, 240), r2, g2, b2);
        changed += toByte(r2) != r || toByte(g2) != g || toByte(b2) != b;
    }
    EXPECT_EQ(changed, 0);
}

// The frame passes (on the calling thread up to 10000 pixels, in eight stripes above, runs of
// equal pixels adjusted once) give what the pixel operation gives, on photos with padded rows.
TEST(HslAdjustment, FramePassesEqualThePixelOperation) {
    auto effect = hslWith({{"Red_hueVal", -40}, {"Orange_satVal", 60}, {"Yellow_brightnessVal", -50},
                           {"Green_hueVal", 80}, {"Aqua_satVal", -70}, {"Blue_brightnessVal", 40},
                           {"Purple_hueVal", 30}, {"Magenta_satVal", 90}});
    cv::Mat flatRun(100, 101, CV_8UC4, cv::Scalar(40, 90, 200, 128));
    for (const cv::Mat& frame : {qortest::samplePicture("chelsea.png", 180)(cv::Rect(0, 0, 100, 100)),
                                 qortest::samplePicture("rocket.jpg", 90)(cv::Rect(0, 0, 100, 101)), flatRun,
                                 qortest::noisePicture(640, 427, 8)}) {
        const cv::Mat out = qortest::rendered(*effect, frame);
        cv::Mat expected(frame.size(), CV_8UC4);
        for (int y = 0; y < frame.rows; ++y) {
            for (int x = 0; x < frame.cols; ++x) effect->adjustHSLPixel(frame.ptr(y, x), expected.ptr(y, x));
        }
        EXPECT_EQ(qortest::differingBytes(out, expected), 0) << frame.cols << "x" << frame.rows;
    }
}

TEST(HslAdjustment, RefusesUnusableFrames) {
    qortest::expectRefusals(*hslWith({{"Green_hueVal", 50}, {"Orange_satVal", 40}}), 1);
}

}  // namespace
