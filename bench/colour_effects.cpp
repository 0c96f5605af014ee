// Throughput of the colour wheels, HSL adjustment and RGB curves, beside a plain frame copy of
// the same size.

#include "bench/BenchSupport.h"
#include "plugins/qorCommonFxPlugin/colour/NLEColorWheel.h"
#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"

namespace {

using namespace qorbench;

void colourWheels(benchmark::State& state, int32_t version) {
    auto effect = qortest::makeEffect<NLEColorWheel>();
    qortest::setFloats(*effect, {{"lift_hue", 200}, {"lift_saturation", 0.5f}, {"gain_hue", 35},
                                 {"gain_saturation", 0.4f}, {"gamma_lightness", 0.3f}, {"lift_lightness", -0.2f}});
    qortest::setInt(*effect, "version", version);
    renderFrames(state, *effect);
}

void ColourWheelsSine(benchmark::State& state) { colourWheels(state, 1); }
void ColourWheelsPower(benchmark::State& state) { colourWheels(state, 0); }

void HslThreeBands(benchmark::State& state) {
    auto effect = qortest::makeEffect<tessel::NLEHSLEffect>();
    qortest::setInt(*effect, "bEnableHSL", 1);
    qortest::setFloats(*effect, {{"Orange_satVal", 40}, {"Blue_hueVal", -50}, {"Green_brightnessVal", 30}});
    renderFrames(state, *effect);
}

void RgbCurves(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLERGBCurveEffect>();
    using qortest::setText;
    setText(*effect, "rKnots", R"([{"_time":0,"_value":0},{"_time":0.5,"_value":0.6},{"_time":1,"_value":1}])");
    setText(*effect, "gKnots", R"([{"_time":0,"_value":0.05},{"_time":1,"_value":0.95}])");
    setText(*effect, "bKnots", R"([{"_time":0,"_value":0},{"_time":0.5,"_value":0.4},{"_time":1,"_value":1}])");
    setText(*effect, "yKnots", R"([{"_time":0,"_value":0},{"_time":0.25,"_value":0.2},)"
                               R"({"_time":0.75,"_value":0.8},{"_time":1,"_value":1}])");
    renderFrames(state, *effect);
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(ColourWheelsSine)->Apply(frameSizes);
BENCHMARK(ColourWheelsPower)->Apply(frameSizes);
BENCHMARK(HslThreeBands)->Apply(frameSizes);
BENCHMARK(RgbCurves)->Apply(frameSizes);

}  // namespace
