#include "plugins/qorCommonFxPlugin/colour/NLEColorWheel.h"

#include <cmath>

#include <gtest/gtest.h>

#include "plugins/qorCommonFxPlugin/colour/HslColour.h"
#include "effects/colour/ColourChecks.h"
#include "support/EffectChecks.h"

namespace {

using Offsets = NLEColorWheel::Offsets;

struct WheelCase {
    const char* name;
    std::vector<std::pair<const char*, float>> floats;
    int32_t version;
};

std::unique_ptr<NLEColorWheel> wheelWith(const WheelCase& c) {
    auto effect = qortest::makeEffect<NLEColorWheel>();
    for (const auto& [name, value] : c.floats) qortest::setFloat(*effect, name, value);
    qortest::setInt(*effect, "version", c.version);
    return effect;
}

float param(const WheelCase& c, const std::string& name) {
    for (const auto& [n, v] : c.floats) {
        if (name == n) return v;
    }
    return 0.0f;
}

float clamp01(float v) { return std::min(std::max(v, 0.0f), 1.0f); }

// A plain per-pixel version of the effect, step by step in single precision, beside the effect's
// byte tables and sampled luminance curve.
cv::Mat referenceWheel(const cv::Mat& in, const WheelCase& c) {
    const auto wheel = [&](const std::string& w) {
        return NLEColorWheel::Wheel{param(c, w + "_hue"),       param(c, w + "_saturation"),
                                    param(c, w + "_lightness"), param(c, w + "_red"),
                                    param(c, w + "_green"),     param(c, w + "_blue")};
    };
    const NLEColorWheel::Wheel lift = wheel("lift"), gamma = wheel("gamma"), gain = wheel("gain");
    const int v = c.version;
    const Offsets l = NLEColorWheel::liftGainOffsets(lift.hue, lift.saturation);
    const Offsets m = NLEColorWheel::gammaOffsets(gamma.hue, gamma.saturation);
    const Offsets n = NLEColorWheel::liftGainOffsets(gain.hue, gain.saturation);
    float L = lift.lightness * 0.251f, N = gain.lightness * 0.251f;
    float M = gamma.lightness >= 0 ? gamma.lightness * 0.115f : gamma.lightness * 0.055f;
    if (v == 1) L *= 0.85f, N *= 0.85f, M *= 2.0f;
    const float masters[3] = {NLEColorWheel::masterValue(lift), NLEColorWheel::masterValue(gamma),
                              NLEColorWheel::masterValue(gain)};
    const bool saturationStep = v == 1 && (std::abs(masters[0]) > 1e-5f || std::abs(masters[1]) > 1e-6f ||
                                           std::abs(masters[2]) > 1e-5f);
    cv::Mat out(in.size(), CV_8UC4);
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const cv::Vec4b p = in.at<cv::Vec4b>(y, x);
            const float rgb[3] = {p[2] * 0.003922f, p[1] * 0.003922f, p[0] * 0.003922f};
            float c1[3];
            for (int k = 0; k < 3; ++k) c1[k] = clamp01(NLEColorWheel::toneCurve(rgb[k], l[k], m[k], n[k], v));
            const float luma = 0.299f * rgb[0] + 0.587f * rgb[1] + 0.114f * rgb[2];
            const float target = clamp01(NLEColorWheel::toneCurve(luma, L, M, N, v));
            const float d = target - (0.299f * c1[0] + 0.587f * c1[1] + 0.114f * c1[2]);
            float c2[3] = {clamp01(c1[0] + d), clamp01(c1[1] + d), clamp01(c1[2] + d)};
            if (saturationStep) {
                colour::Hsl hsl = colour::toHsl(c2[0], c2[1], c2[2], 0);
                const float y2 = 0.299f * c2[0] + 0.587f * c2[1] + 0.114f * c2[2];
                float s = (NLEColorWheel::toneCurve(y2, -masters[0], 0, 0, 1) - y2) +
                          (NLEColorWheel::toneCurve(y2, 0, -masters[1], 0, 1) - y2) +
                          (NLEColorWheel::toneCurve(y2, 0, 0, -masters[2], 1) - y2);
                s = std::min(std::max(s, -1.0f), 1.0f);
                hsl.saturation = clamp01((s + 1) * hsl.saturation);
                colour::fromHsl(hsl, c2[0], c2[1], c2[2]);
            }
            cv::Vec4b& o = out.at<cv::Vec4b>(y, x);
            for (int k = 0; k < 3; ++k) {
                o[2 - k] = static_cast<uint8_t>(qortest::multiplyRounded(cv::saturate_cast<uint8_t>(c2[k] * 255.0f), p[3]));
            }
            o[3] = p[3];
        }
    }
    return out;
}

const std::vector<WheelCase> kGrades = {
    {"warm highlights, cool shadows", {{"lift_hue", 200}, {"lift_saturation", 0.6f}, {"gain_hue", 35},
                                       {"gain_saturation", 0.5f}, {"gamma_lightness", 0.4f}}, 1},
    {"power curves", {{"lift_hue", 100}, {"lift_saturation", 1}, {"gamma_hue", 300}, {"gamma_saturation", 0.7f},
                      {"lift_lightness", -0.6f}, {"gain_lightness", 0.8f}, {"gamma_lightness", -1}}, 0},
    {"blue gamma peak", {{"gamma_hue", 240}, {"gamma_saturation", 1}, {"gamma_lightness", 0.7f}}, 0},
    {"masters", {{"lift_red", 0.5f}, {"lift_green", 0.5f}, {"lift_blue", 0.5f}, {"gain_red", -2}, {"gain_green", -2},
                 {"gain_blue", -2}, {"gain_hue", 20}, {"gain_saturation", 0.3f}}, 1},
    {"strong lightness, computed per pixel", {{"lift_lightness", 9}, {"gamma_lightness", -9}}, 0},
    {"hues outside the wheel", {{"lift_hue", -160}, {"lift_saturation", 0.8f}, {"gain_hue", 395}, {"gain_saturation", 0.8f},
                                {"gamma_hue", NAN}, {"gamma_saturation", 0.5f}}, 1},
};

// Segment ends, the green jump after 60 degrees, the 1.4 blue peak of the gamma table, and hues
// outside 0..360 wrapped onto the wheel.
TEST(ColourWheels, OffsetTablesAtTheirSegmentBounds) {
    struct Case {
        Offsets (*table)(float, float);
        float hue, saturation;
        Offsets expected;
    };
    const auto lg = &NLEColorWheel::liftGainOffsets;
    const auto gm = &NLEColorWheel::gammaOffsets;
    for (const Case& c : {Case{lg, 0, 1, {0.3922f, -0.1f, -0.1f}}, Case{lg, 60, 1, {0.055f, 0.03f, -0.4627f}},
                          Case{lg, 60.0001f, 1, {0.055f, -0.055f, -0.4627f}}, Case{lg, 360, 0.5f, {0.1961f, -0.05f, -0.05f}},
                          Case{lg, 150, 2, {-0.7472f, 0.241f, -0.255f}}, Case{gm, 240, 1, {-0.008f, -0.008f, 1.4f}},
                          Case{gm, 255, 1, {0.0235f, -0.014f, 0.95f}}, Case{lg, -300, 1, {0.055f, 0.03f, -0.4627f}},
                          Case{lg, 420, 1, {0.055f, 0.03f, -0.4627f}}, Case{gm, NAN, 1, {0.3922f, -0.023f, -0.023f}},
                          Case{gm, INFINITY, 1, {0.3922f, -0.023f, -0.023f}}}) {
        const Offsets got = c.table(c.hue, c.saturation);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], c.expected[k], 1e-5f) << c.hue << " channel " << k;
    }
}

TEST(ColourWheels, ToneCurvesOfBothFamilies) {
    struct Case {
        float x, lift, gamma, gain;
        int32_t version;
        float expected;
    };
    for (const Case& c : {
             Case{0.3f, 0, 0, 0, 0, 0.3f},            // no controls: the input
             Case{0.25f, 0, 1 / 9.0f, 0, 0, 0.5f},    // exponent 1/2
             Case{0.25f, 0, -1 / 9.0f, 0, 0, 0.0625f}, // exponent 2
             Case{0, 0.2f, 0, 0, 0, 0.2f},            // lift raises black
             Case{1, 0.2f, 0, -0.3f, 0, 0.7f},        // gain moves white, lift not
             Case{0.3f, 0, 0, 0, 1, 0.3f},
             Case{0, 0.5f, 0, 0, 1, 0.5f},            // the sine shadow curve is 1 at black
             Case{0.5f, 0.5f, 0.2f, 0.5f, 1, 0.7f},   // only the mid curve acts at 0.5
             Case{1, 0.5f, 0.2f, -0.25f, 1, 0.75f},   // only the highlight curve at 1
         }) {
        EXPECT_NEAR(NLEColorWheel::toneCurve(c.x, c.lift, c.gamma, c.gain, c.version), c.expected, 2e-6f)
            << c.x << " version " << c.version;
    }
}

// All controls at rest, or hues whose sum is 0 with nothing else set, copy the input exactly (no
// premultiplication). A gamma hue alone has no saturation to act with: the input comes out
// premultiplied. Masters act only in version 1.
TEST(ColourWheels, IdentityShortcutAndItsNearMisses) {
    const cv::Mat photo = qortest::samplePicture("coffee.png", 150);
    cv::Mat premultiplied = photo.clone();
    premultiplied.forEach<cv::Vec4b>([](cv::Vec4b& p, const int*) {
        for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(qortest::multiplyRounded(p[k], p[3]));
    });
    const cv::Mat* copy = &photo;
    const std::vector<std::pair<WheelCase, const cv::Mat*>> cases = {
        {{"nothing set", {}, 0}, copy},
        {{"hues cancel", {{"lift_hue", 10}, {"gain_hue", -10}}, 1}, copy},
        {{"gamma hue alone", {{"gamma_hue", 90}}, 0}, &premultiplied},
        {{"master in version 0", {{"lift_red", 0.5f}, {"lift_green", 0.5f}, {"lift_blue", 0.5f}}, 0}, &premultiplied},
    };
    for (const auto& [c, expected] : cases) {
        EXPECT_EQ(qortest::differingBytes(qortest::rendered(*wheelWith(c), photo), *expected), 0) << c.name;
    }
}

TEST(ColourWheels, MastersAreClampedAndChangeOnlySaturation) {
    EXPECT_EQ(NLEColorWheel::masterValue({0, 0, 0, 2, 2, 2}), 1.0f);
    EXPECT_EQ(NLEColorWheel::masterValue({0, 0, 0, -3, -3, -3}), -1.0f);
    EXPECT_EQ(NLEColorWheel::masterValue({0, 0, 0.5f, 0.5f, 0.5f, 0.5f}), 0.0f);  // equal to the lightness
    EXPECT_EQ(NLEColorWheel::masterValue({0, 0, 0, 0.5f, 0.4f, 0.5f}), 0.0f);
    cv::Mat greys(1, 256, CV_8UC4);
    for (int v = 0; v < 256; ++v) greys.at<cv::Vec4b>(0, v) = {uint8_t(v), uint8_t(v), uint8_t(v), 255};
    const WheelCase liftMaster{"lift master", {{"lift_red", 0.5f}, {"lift_green", 0.5f}, {"lift_blue", 0.5f}}, 1};
    const cv::Mat out = qortest::rendered(*wheelWith(liftMaster), greys);
    EXPECT_EQ(qortest::differingBytes(out, referenceWheel(greys, liftMaster)), 0);
    for (int v = 0; v < 256; ++v) {
        const cv::Vec4b p = out.at<cv::Vec4b>(0, v);
        EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << v;
    }
}

// The effect against the plain reference: photos and noise with alpha below 255 and padded rows,
// frames on the calling thread (100 x 100), in eight stripes (101 x 100) and with seven empty
// stripes (20000 x 1).
TEST(ColourWheels, MatchesThePlainReferenceOnEveryFrameShape) {
    const std::vector<cv::Mat> frames = {qortest::samplePicture("astronaut.png", 200), qortest::noisePicture(100, 100, 3),
                                         qortest::noisePicture(101, 100, 4), qortest::noisePicture(20000, 1, 5)};
    for (const WheelCase& c : kGrades) {
        auto effect = wheelWith(c);
        for (const cv::Mat& frame : frames) {
            EXPECT_EQ(qortest::differingBytes(qortest::rendered(*effect, frame), referenceWheel(frame, c)), 0)
                << c.name << " at " << frame.cols << "x" << frame.rows;
        }
    }
}

// Every colour once, so that each pixel where the sampled luminance curve must give way to the
// exact one is met, on every instruction-set path the machine runs.
TEST(ColourWheels, EveryColourMatchesThePlainReference) {
    const cv::Mat cube = qortest::everyColour();
    for (const int index : {0, 1}) {
        const cv::Mat reference = referenceWheel(cube, kGrades[index]);
        auto effect = wheelWith(kGrades[index]);
        for (const tessel::SimdPath path : qortest::runnablePaths()) {
            effect->useSimdPath(path);
            EXPECT_EQ(qortest::differingBytes(qortest::rendered(*effect, cube, {}, 0, 0), reference), 0)
                << kGrades[index].name << " on " << tessel::simdPathName(path);
        }
    }
}

TEST(ColourWheels, RefusesUnusableFrames) { qortest::expectRefusals(*wheelWith(kGrades[0]), 1); }

}  // namespace
