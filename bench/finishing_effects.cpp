// Throughput of the border and tone-map effects, beside a plain frame copy of the same size.
// Frames are noise pictures with padded rows.

#include <benchmark/benchmark.h>

#include <memory>

#include <opencv2/core.hpp>

#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/NLEBoarder.h"
#include "plugins/qorCommonFxPlugin/NLEToneMapToSelectColor.h"

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

void border(benchmark::State& state, float amp) {
    auto effect = makeEffect<NLEBoarder>();
    effect->SetParameter("amp", tessel::toCode(tessel::ParamType::Float), tessel::ParamValue::ofFloat(amp));
    runEffect(state, *effect);
}

void BorderAmp10(benchmark::State& state) { border(state, 10); }
void BorderAmp300(benchmark::State& state) { border(state, 300); }

void ToneMap(benchmark::State& state) {
    auto effect = makeEffect<NLEToneMapToSelectColor>();
    effect->SetParameter("darkLuma", tessel::toCode(tessel::ParamType::Int), tessel::ParamValue::ofInt(0x402010));
    effect->SetParameter("lightLuma", tessel::toCode(tessel::ParamType::Int), tessel::ParamValue::ofInt(0xF0E0A0));
    effect->SetParameter("Strength", tessel::toCode(tessel::ParamType::Int), tessel::ParamValue::ofInt(70));
    runEffect(state, *effect);
}

// The CPU column counts every thread of the process, which stays meaningful on a busy machine.
#define FRAME_SIZES \
    Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()

BENCHMARK(FrameCopy)->FRAME_SIZES;
BENCHMARK(BorderAmp10)->FRAME_SIZES;
BENCHMARK(BorderAmp300)->FRAME_SIZES;
BENCHMARK(ToneMap)->FRAME_SIZES;

}  // namespace
