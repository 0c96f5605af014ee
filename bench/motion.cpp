// Throughput of the motion effect on whole frames, beside a plain frame copy of the same size.
// The clip is noise with alpha over its whole range; the canvas is the clip's size.

#include <benchmark/benchmark.h>

#include <memory>

#include <opencv2/core.hpp>

#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/NLEMotion.h"

namespace {

cv::Mat noise(int width, int height, uint64_t seed) {
    cv::Mat picture(height, width, CV_8UC4);
    cv::RNG rng(seed);
    rng.fill(picture, cv::RNG::UNIFORM, 0, 256);
    return picture;
}

void setFloat(tessel::NLEEffectFilter& effect, const char* name, float value) {
    effect.SetParameter(name, tessel::toCode(tessel::ParamType::Float), tessel::ParamValue::ofFloat(value));
}

// `scale` is the window's share of the canvas on both axes; the output has the window's size.
void motion(benchmark::State& state, int mode, float rotate, float scale, float alphaPercent) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const cv::Mat clip = noise(width, height, 1);
    const cv::Mat canvas = noise(width, height, 2);
    cv::Mat out(static_cast<int>(height * scale), static_cast<int>(width * scale), CV_8UC4);
    NLEMotion effect(std::make_shared<tessel::NLEFilterInfo>());
    effect.SetParameter("mode", tessel::toCode(tessel::ParamType::Int), tessel::ParamValue::ofInt(mode));
    setFloat(effect, "curRotate", rotate);
    setFloat(effect, "curScaleX", scale);
    setFloat(effect, "curScaleY", scale);
    setFloat(effect, "alpha", alphaPercent);
    for (auto _ : state) {
        const int32_t result = effect.Transform(out.data, out.cols, out.rows, static_cast<int32_t>(out.step), canvas.data,
                                                canvas.cols, canvas.rows, static_cast<int32_t>(canvas.step), clip.data,
                                                clip.cols, clip.rows, static_cast<int32_t>(clip.step));
        if (result != 0) state.SkipWithError("Transform failed");
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * out.total());
}

void FrameCopy(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const cv::Mat src = noise(width, height, 1);
    cv::Mat dst(height, width, CV_8UC4);
    for (auto _ : state) {
        tessel::copyPlane(src.data, dst.data, width, height, static_cast<int32_t>(src.step), static_cast<int32_t>(dst.step));
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void MotionNormalFull(benchmark::State& state) { motion(state, 0, 0, 1, 100); }
void MotionNormalHalfOpacity(benchmark::State& state) { motion(state, 0, 0, 1, 50); }
void MotionMultiply(benchmark::State& state) { motion(state, 2, 0, 1, 100); }
void MotionReplace(benchmark::State& state) { motion(state, 22, 0, 1, 100); }
void MotionHalfWindow(benchmark::State& state) { motion(state, 0, 0, 0.5f, 100); }
void MotionRotated(benchmark::State& state) { motion(state, 0, 15, 1, 100); }

#define FRAME_SIZES Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime()

BENCHMARK(FrameCopy)->FRAME_SIZES;
BENCHMARK(MotionNormalFull)->FRAME_SIZES;
BENCHMARK(MotionNormalHalfOpacity)->FRAME_SIZES;
BENCHMARK(MotionMultiply)->FRAME_SIZES;
BENCHMARK(MotionReplace)->FRAME_SIZES;
BENCHMARK(MotionHalfWindow)->FRAME_SIZES;
BENCHMARK(MotionRotated)->FRAME_SIZES;

}  // namespace
