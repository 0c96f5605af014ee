// Throughput of the sharpen/soften effect and of the resize-blur prefilter, beside a plain frame
// copy of the same size. Frames are noise pictures with padded rows.

#include <benchmark/benchmark.h>

#include <memory>

#include <opencv2/core.hpp>

#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/NLEResizeBlur.h"
#include "plugins/qorCommonFxPlugin/NLESharpenEffect.h"

namespace {

constexpr int kPadding = 64;

struct Frames {
    cv::Mat in, out;
    Frames(int width, int height) : in(height, width * 4 + kPadding, CV_8UC1), out(height, width * 4 + kPadding, CV_8UC1) {
        cv::RNG(7).fill(in, cv::RNG::UNIFORM, 0, 256);
    }
    int stride() const { return static_cast<int>(in.step); }
};

template <class Effect>
std::unique_ptr<Effect> makeEffect() {
    return std::make_unique<Effect>(std::make_shared<tessel::NLEFilterInfo>());
}

void setInt(tessel::NLEEffectFilter& effect, const char* name, int32_t value) {
    effect.SetParameter(name, tessel::toCode(tessel::ParamType::Int), tessel::ParamValue::ofInt(value));
}

void runEffect(benchmark::State& state, tessel::NLEEffectFilter& effect) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    Frames frames(width, height);
    for (auto _ : state) {
        const int result = effect.Transform(frames.out.data, width, height, frames.stride(), nullptr, 0, 0, 0,
                                            frames.in.data, width, height, frames.stride());
        if (result != 0) state.SkipWithError("Transform failed");
        benchmark::DoNotOptimize(frames.out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void FrameCopy(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    Frames frames(width, height);
    for (auto _ : state) {
        tessel::copyPlane(frames.in.data, frames.out.data, width, height, frames.stride(), frames.stride());
        benchmark::DoNotOptimize(frames.out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void sharpenWithAmount(benchmark::State& state, float amount) {
    auto effect = makeEffect<NLESharpenEffect>();
    effect->SetParameter("amount", tessel::toCode(tessel::ParamType::Float), tessel::ParamValue::ofFloat(amount));
    runEffect(state, *effect);
}

void Sharpen50(benchmark::State& state) { sharpenWithAmount(state, 50); }
void SoftenMinus50(benchmark::State& state) { sharpenWithAmount(state, -50); }

// Reduction to 1/`factor` of each side.
void resizeBlur(benchmark::State& state, int factor, int type) {
    auto effect = makeEffect<NLEResizeBlur>();
    setInt(*effect, "destImageWidth", static_cast<int32_t>(state.range(0)) / factor);
    setInt(*effect, "destImageHeight", static_cast<int32_t>(state.range(1)) / factor);
    setInt(*effect, "resizeBlurType", type);
    setInt(*effect, "kernelMaxRadius", 50);
    runEffect(state, *effect);
}

void ResizeBlurBoxHalf(benchmark::State& state) { resizeBlur(state, 2, 0); }
void ResizeBlurBoxQuarter(benchmark::State& state) { resizeBlur(state, 4, 0); }
void ResizeBlurGaussianQuarter(benchmark::State& state) { resizeBlur(state, 4, 1); }

// The CPU column counts every thread of the process, which stays meaningful on a busy machine.
#define FRAME_SIZES \
    Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()

BENCHMARK(FrameCopy)->FRAME_SIZES;
BENCHMARK(Sharpen50)->FRAME_SIZES;
BENCHMARK(SoftenMinus50)->FRAME_SIZES;
BENCHMARK(ResizeBlurBoxHalf)->FRAME_SIZES;
BENCHMARK(ResizeBlurBoxQuarter)->FRAME_SIZES;
BENCHMARK(ResizeBlurGaussianQuarter)->FRAME_SIZES;

}  // namespace
