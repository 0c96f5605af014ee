// Throughput of the layer effects (transform, compare view, pixel rotate, scope) beside a plain
// frame copy of the same size. Frames are noise pictures with alpha spread over 0..255.

#include <memory>

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>

#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/NLECompareView.h"
#include "plugins/qorCommonFxPlugin/NLEPixelRotateEffect.h"
#include "plugins/qorCommonFxPlugin/NLEScopeEffect.h"
#include "plugins/qorCommonFxPlugin/NLETransform.h"

namespace {

using tessel::ParamValue;

cv::Mat noise(int width, int height, uint64_t seed) {
    cv::Mat picture(height, width, CV_8UC4);
    cv::RNG rng(seed);
    rng.fill(picture, cv::RNG::UNIFORM, 0, 256);
    return picture;
}

struct Param {
    const char* name;
    ParamValue value;
};

// Renders frames of the benchmark's size (main and second input; the output turned upright when
// `portraitOutput`) through one effect with the given parameters.
template <class Effect>
void renderFrames(benchmark::State& state, std::initializer_list<Param> params, bool portraitOutput = false) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const cv::Mat in = noise(width, height, 1), second = noise(width, height, 2);
    cv::Mat out = portraitOutput ? noise(height, width, 3) : noise(width, height, 3);
    Effect effect(std::make_shared<tessel::NLEFilterInfo>());
    for (const Param& param : params) effect.SetParameter(param.name, param.value.kind, param.value);
    for (auto _ : state) {
        const int32_t result = effect.Transform(out.data, out.cols, out.rows, static_cast<int32_t>(out.step),
                                                second.data, width, height, static_cast<int32_t>(second.step),
                                                in.data, width, height, static_cast<int32_t>(in.step));
        if (result != 0) state.SkipWithError("Transform failed");
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void FrameCopy(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const cv::Mat src = noise(width, height, 1);
    cv::Mat dst(height, width, CV_8UC4);
    for (auto _ : state) {
        tessel::copyPlane(src.data, dst.data, width, height, static_cast<int32_t>(src.step),
                          static_cast<int32_t>(dst.step));
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void TransformCopy(benchmark::State& state) { renderFrames<NLETransform>(state, {}); }
void TransformRotate30(benchmark::State& state) {
    renderFrames<NLETransform>(state, {{"theta", ParamValue::ofInt(30)}});
}
void CompareSideBySide(benchmark::State& state) {
    renderFrames<NLECompareView>(state, {{"mode", ParamValue::ofInt(2)}});
}
void CompareSplit(benchmark::State& state) { renderFrames<NLECompareView>(state, {{"mode", ParamValue::ofInt(3)}}); }
void PixelRotateQuarterPortrait(benchmark::State& state) {
    renderFrames<NLEPixelRotateEffect>(state, {{"rotateType", ParamValue::ofInt(0)}}, true);
}
void PixelRotateQuarterStretched(benchmark::State& state) {
    renderFrames<NLEPixelRotateEffect>(state, {{"rotateType", ParamValue::ofInt(0)}});
}
void PixelRotateHalfTurn(benchmark::State& state) {
    renderFrames<NLEPixelRotateEffect>(state, {{"rotateType", ParamValue::ofInt(1)}});
}
void ScopeFullFrame(benchmark::State& state) {
    renderFrames<NLEScopeEffect>(state, {{"Alpha", ParamValue::ofFloat(1.0f)}});
}
void ScopeTurnedHalf(benchmark::State& state) {
    renderFrames<NLEScopeEffect>(state, {{"Alpha", ParamValue::ofFloat(0.7f)},
                                         {"Scale_x", ParamValue::ofFloat(0.5f)},
                                         {"Scale_y", ParamValue::ofFloat(0.5f)},
                                         {"Rotation", ParamValue::ofFloat(30.0f)},
                                         {"BlendMode", ParamValue::ofInt(8)}});
}

#define FRAME_SIZES Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime()

BENCHMARK(FrameCopy)->FRAME_SIZES;
BENCHMARK(TransformCopy)->FRAME_SIZES;
BENCHMARK(TransformRotate30)->FRAME_SIZES;
BENCHMARK(CompareSideBySide)->FRAME_SIZES;
BENCHMARK(CompareSplit)->FRAME_SIZES;
BENCHMARK(PixelRotateQuarterPortrait)->FRAME_SIZES;
BENCHMARK(PixelRotateQuarterStretched)->FRAME_SIZES;
BENCHMARK(PixelRotateHalfTurn)->FRAME_SIZES;
BENCHMARK(ScopeFullFrame)->FRAME_SIZES;
BENCHMARK(ScopeTurnedHalf)->FRAME_SIZES;

}  // namespace
