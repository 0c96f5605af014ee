// The colour effects with kernels chosen at run time give on every wider path the bytes of the SSE2
// path: on noise (every colour, every alpha) and on a photograph with alpha below 255, in frames
// with padded rows whose widths leave sixteen-, eight-, four- and one-pixel steps in every row.

#include <gtest/gtest.h>

#include "dispatch/DispatchPaths.h"
#include "plugins/qorCommonFxPlugin/colour/NLEColorWheel.h"
#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffectV2.h"
#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace {

// Noise 61 and 60 pixels wide (the second version takes several pixels at a time only when the
// width is a multiple of four) and a photograph with alpha 200.
std::vector<cv::Mat> pictures() {
    return {qortest::noisePicture(61, 37, 7), qortest::noisePicture(60, 23, 8),
            qortest::samplePicture("chelsea.png", 200)(cv::Rect(40, 30, 92, 41)).clone()};
}

template <class Effect>
void expectSameBytesOnEveryPath(Effect& effect) {
    for (const cv::Mat& picture : pictures()) {
        const auto renderOn = [&](tessel::SimdPath path) {
            effect.useSimdPath(path);
            qortest::PaddedFrame in = qortest::PaddedFrame::from(picture), out(picture.cols, picture.rows);
            EXPECT_EQ(qortest::render(effect, out.frame(), in.frame()), 0);
            return out.pixels();
        };
        const cv::Mat baseline = renderOn(tessel::SimdPath::sse2);
        dispatch_testing::forEachWiderPath(
            [&](tessel::SimdPath path) { EXPECT_EQ(qortest::differingBytes(renderOn(path), baseline), 0); });
    }
}

}  // namespace

TEST(ColourDispatch, MatchColourGivesTheSameBytesOnEveryPath) {
    auto effect = qortest::makeEffect<NLEMatchColorEffect>();
    qortest::setFloats(*effect, {{"mean_b", -0.35f}, {"mean_g", 0.12f}, {"mean_r", 0.06f},
                                 {"stddb", 0.25f}, {"stddg", 0.08f}, {"stddr", 0.05f}});
    qortest::setInts(*effect, {{"Enabled", 1}, {"strength", 70}});
    expectSameBytesOnEveryPath(*effect);
}

TEST(ColourDispatch, MatchColourSecondVersionGivesTheSameBytesOnEveryPath) {
    auto effect = qortest::makeEffect<NLEMatchColorEffectV2>();
    qortest::setFloats(*effect, {{"f0", -0.35f}, {"f1", 0.12f}, {"f2", 0.06f}, {"f3", 0.25f}, {"f4", 0.08f},
                                 {"f5", 0.05f}, {"f6", 0.3f}, {"f7", 0.5f}, {"f8", 0.001f}});
    qortest::setInts(*effect, {{"Enabled", 1}, {"strength", 70}});
    expectSameBytesOnEveryPath(*effect);
}

TEST(ColourDispatch, HslAdjustmentGivesTheSameBytesOnEveryPath) {
    auto effect = qortest::makeEffect<tessel::NLEHSLEffect>();
    qortest::setInt(*effect, "bEnableHSL", 1);
    qortest::setFloats(*effect, {{"Red_hueVal", 30}, {"Orange_satVal", 40}, {"Blue_hueVal", -50},
                                 {"Green_brightnessVal", 30}, {"Aqua_satVal", -60}});
    expectSameBytesOnEveryPath(*effect);
}

// Both tone curves, with settings that leave some pixels to the exact per-pixel curve.
TEST(ColourDispatch, ColourWheelsGiveTheSameBytesOnEveryPath) {
    for (const int32_t version : {0, 1}) {
        SCOPED_TRACE(version);
        auto effect = qortest::makeEffect<NLEColorWheel>();
        qortest::setFloats(*effect, {{"lift_hue", 200}, {"lift_saturation", 0.5f}, {"gain_hue", 35},
                                     {"gain_saturation", 0.4f}, {"gamma_lightness", 0.3f}, {"lift_lightness", -0.2f}});
        qortest::setInt(*effect, "version", version);
        expectSameBytesOnEveryPath(*effect);
    }
}

TEST(ColourDispatch, RgbCurvesGiveTheSameBytesOnEveryPath) {
    auto effect = qortest::makeEffect<NLERGBCurveEffect>();
    using qortest::setText;
    setText(*effect, "rKnots", R"([{"_time":0,"_value":0.1},{"_time":0.5,"_value":0.7},{"_time":1,"_value":1}])");
    setText(*effect, "gKnots", R"([{"_time":0,"_value":0.05},{"_time":1,"_value":0.95}])");
    setText(*effect, "bKnots", R"([{"_time":0,"_value":0},{"_time":0.5,"_value":0.3},{"_time":1,"_value":1}])");
    setText(*effect, "yKnots", R"([{"_time":0,"_value":0.2},{"_time":0.25,"_value":0.1},)"
                      R"({"_time":0.75,"_value":0.9},{"_time":1,"_value":1}])");
    expectSameBytesOnEveryPath(*effect);
}
