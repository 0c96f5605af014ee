// The colour effects beside libavfilter's colour filters and OpenCV's float Lab conversion, on
// the astronaut picture. colorbalance, huesaturation and curves take packed BGRA as it is.

#include <opencv2/imgproc.hpp>

#include "bench/peers/PeerBench.h"
#include "plugins/qorCommonFxPlugin/colour/NLEColorWheel.h"
#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffectV2.h"
#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"
#include "tests/support/EffectCalls.h"

namespace {

using peers::comparePair;
using peers::FilterGraph;

// Shadows pushed towards blue-cyan (lift hue 200, saturation 0.5, darkened), midtones lifted,
// highlights towards orange (gain hue 35, saturation 0.4). colorbalance moves the red, green and
// blue of shadows, midtones and highlights by amounts in -1..1: the same three moves.
void compareColourWheels(const peers::FrameSize& size, const cv::Mat& in, const cv::Mat& out) {
    auto wheels = qortest::makeEffect<NLEColorWheel>();
    qortest::setFloats(*wheels, {{"lift_hue", 200}, {"lift_saturation", 0.5f}, {"lift_lightness", -0.2f},
                                 {"gamma_lightness", 0.3f}, {"gain_hue", 35}, {"gain_saturation", 0.4f}});
    FilterGraph colorbalance("colorbalance",
                             "rs=-0.3:gs=0.05:bs=0.2:rm=0.15:gm=0.15:bm=0.15:rh=0.25:gh=0.08:bh=-0.2",
                             AV_PIX_FMT_BGRA, {in});
    comparePair("colour-wheels/ffmpeg-colorbalance", size, [&] { peers::render(*wheels, out, cv::Mat(), in); },
                [&] { colorbalance.filterFrame(); });
}

// One band: the reds' saturation raised by 40 of 100; huesaturation with saturation 0.4 on reds.
void compareHsl(const peers::FrameSize& size, const cv::Mat& in, const cv::Mat& out) {
    auto hsl = qortest::makeEffect<tessel::NLEHSLEffect>();
    qortest::setInt(*hsl, "bEnableHSL", 1);
    qortest::setFloat(*hsl, "Red_satVal", 40);
    FilterGraph huesaturation("huesaturation", "saturation=0.4:colors=r", AV_PIX_FMT_BGRA, {in});
    comparePair("hsl/ffmpeg-huesaturation", size, [&] { peers::render(*hsl, out, cv::Mat(), in); },
                [&] { huesaturation.filterFrame(); });
}

// The same knots on both sides: red, green and blue curves and a master curve over them.
void compareCurves(const peers::FrameSize& size, const cv::Mat& in, const cv::Mat& out) {
    auto curves = qortest::makeEffect<NLERGBCurveEffect>();
    using qortest::setText;
    setText(*curves, "rKnots", R"([{"_time":0,"_value":0},{"_time":0.5,"_value":0.6},{"_time":1,"_value":1}])");
    setText(*curves, "gKnots", R"([{"_time":0,"_value":0.05},{"_time":1,"_value":0.95}])");
    setText(*curves, "bKnots", R"([{"_time":0,"_value":0},{"_time":0.5,"_value":0.4},{"_time":1,"_value":1}])");
    setText(*curves, "yKnots", R"([{"_time":0,"_value":0},{"_time":0.25,"_value":0.2},)"
                               R"({"_time":0.75,"_value":0.8},{"_time":1,"_value":1}])");
    FilterGraph peer("curves",
                     "r='0/0 0.5/0.6 1/1':g='0/0.05 1/0.95':b='0/0 0.5/0.4 1/1':master='0/0 0.25/0.2 0.75/0.8 1/1'",
                     AV_PIX_FMT_BGRA, {in});
    comparePair("rgb-curves/ffmpeg-curves", size, [&] { peers::render(*curves, out, cv::Mat(), in); },
                [&] { peer.filterFrame(); });
}

// Colour matching turns every pixel into a perceptual space, moves it there and turns it back;
// OpenCV's nearest operation is the float Lab conversion there and back (cvtColor on CV_32FC3),
// given a float BGR frame prepared outside the timing, so the peer leaves out our 8-bit
// conversions and the statistics transfer.
void compareMatchColour(const peers::FrameSize& size, const cv::Mat& in, const cv::Mat& out) {
    cv::Mat bgr, floatBgr, lab, back;
    cv::cvtColor(in, bgr, cv::COLOR_BGRA2BGR);
    bgr.convertTo(floatBgr, CV_32FC3, 1.0 / 255);
    const auto labThereAndBack = [&] {
        cv::cvtColor(floatBgr, lab, cv::COLOR_BGR2Lab);
        cv::cvtColor(lab, back, cv::COLOR_Lab2BGR);
    };

    // A warm look: the targets of the lαβ channel means and spreads.
    auto matchColour = qortest::makeEffect<NLEMatchColorEffect>();
    qortest::setFloats(*matchColour, {{"mean_b", -0.35f}, {"mean_g", 0.12f}, {"mean_r", 0.06f},
                                      {"stddb", 0.25f}, {"stddg", 0.08f}, {"stddr", 0.05f}});
    qortest::setInt(*matchColour, "Enabled", 1);
    comparePair("match-colour/opencv-lab", size, [&] { peers::render(*matchColour, out, cv::Mat(), in); },
                labThereAndBack);

    auto matchColourV2 = qortest::makeEffect<NLEMatchColorEffectV2>();
    qortest::setFloats(*matchColourV2, {{"f0", -0.35f}, {"f1", 0.12f}, {"f2", 0.06f}, {"f3", 0.25f}, {"f4", 0.08f},
                                        {"f5", 0.05f}, {"f6", 0.3f}, {"f7", 0.5f}, {"f8", 0.001f}});
    qortest::setInt(*matchColourV2, "Enabled", 1);
    comparePair("match-colour-v2/opencv-lab", size, [&] { peers::render(*matchColourV2, out, cv::Mat(), in); },
                labThereAndBack);
}

void compareAt(const peers::FrameSize& size) {
    const cv::Mat in = peers::picture("astronaut.png", {size.width, size.height});
    const cv::Mat out(in.size(), CV_8UC4);
    compareColourWheels(size, in, out);
    compareHsl(size, in, out);
    compareCurves(size, in, out);
    compareMatchColour(size, in, out);
}

}  // namespace

int main() { return peers::runComparisons(compareAt); }
