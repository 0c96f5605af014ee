#pragma once
// What the benchmark programs share: noise frames with padded rows, the frame-copy baseline every
// program reports beside its effects, the render loop and the two frame sizes.

#include <benchmark/benchmark.h>

#include <cstdint>

#include <opencv2/core.hpp>

#include "framework/copyPlane.h"
#include "tests/support/EffectCalls.h"

namespace qorbench {

// A BGRA noise picture (alpha over 0..255 too) inside a wider buffer, so its rows are padded.
inline cv::Mat noiseFrame(int width, int height, uint64_t seed, int paddingPixels = 16) {
    cv::Mat buffer(height, width + paddingPixels, CV_8UC4);
    cv::RNG(seed).fill(buffer, cv::RNG::UNIFORM, 0, 256);
    return buffer(cv::Rect(0, 0, width, height));
}

inline tessel::Frame frameOf(const cv::Mat& picture) {
    return {picture.data, picture.cols, picture.rows, static_cast<int32_t>(picture.step)};
}

inline int benchWidth(const benchmark::State& state) { return static_cast<int>(state.range(0)); }
inline int benchHeight(const benchmark::State& state) { return static_cast<int>(state.range(1)); }

// Renders frames through `effect` until the benchmark has its measure; pixels counted are the
// main input's.
inline void renderLoop(benchmark::State& state, tessel::NLEEffectFilter& effect, const cv::Mat& out,
                       const cv::Mat& second, const cv::Mat& in) {
    const tessel::Frame outFrame = frameOf(out), secondFrame = frameOf(second), inFrame = frameOf(in);
    for (auto _ : state) {
        if (qortest::render(effect, outFrame, secondFrame, inFrame) != 0) state.SkipWithError("Transform failed");
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

// One input frame of the benchmark's size into an output of the same size.
inline void renderFrames(benchmark::State& state, tessel::NLEEffectFilter& effect) {
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat out = noiseFrame(benchWidth(state), benchHeight(state), 3);
    renderLoop(state, effect, out, cv::Mat(), in);
}

// The baseline: a plain copy of a frame of the benchmark's size.
inline void FrameCopy(benchmark::State& state) {
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat out = noiseFrame(benchWidth(state), benchHeight(state), 2);
    for (auto _ : state) {
        tessel::copyPlane(in.data, out.data, in.cols, in.rows, static_cast<int32_t>(in.step),
                          static_cast<int32_t>(out.step));
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

// 1920x1080 and 3840x2160, in milliseconds of real time, with the CPU time of all the process's
// threads beside it (which stays meaningful on a busy machine).
inline void frameSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
}

}  // namespace qorbench
