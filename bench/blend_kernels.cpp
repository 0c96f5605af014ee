// Throughput of the compositing kernels, one benchmark per mode family, beside a plain frame copy
// of the same size. Source and destination are noise pictures with alpha spread over 0..255.

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "compositing/BlendImage.h"
#include "framework/copyPlane.h"

namespace {

constexpr int kStripes = 8;

cv::Mat noise(int width, int height, uint64_t seed) {
    cv::Mat picture(height, width, CV_8UC4);
    cv::RNG rng(seed);
    rng.fill(picture, cv::RNG::UNIFORM, 0, 256);
    return picture;
}

void blendFrames(benchmark::State& state, uint32_t mode, int strength, bool premultiplied) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const cv::Mat src = noise(width, height, 1);
    cv::Mat dst = noise(width, height, 2);
    for (auto _ : state) {
        imageC::blendImage(src, dst, mode, strength, premultiplied, kStripes);
        benchmark::DoNotOptimize(dst.data);
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
        tessel::copyPlane(src.data, dst.data, width, height, static_cast<int32_t>(src.step), static_cast<int32_t>(dst.step));
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void TableMultiply(benchmark::State& state) { blendFrames(state, 2, 200, false); }
void TableSoftLight(benchmark::State& state) { blendFrames(state, 9, 255, false); }
void NormalStraightFull(benchmark::State& state) { blendFrames(state, 0, 255, false); }
void NormalStraightPartial(benchmark::State& state) { blendFrames(state, 0, 180, false); }
void NormalPremultiplied(benchmark::State& state) { blendFrames(state, 0, 200, true); }
void HollowIn(benchmark::State& state) { blendFrames(state, 19, 255, false); }
void HollowOut(benchmark::State& state) { blendFrames(state, 20, 255, false); }
void TextBgHollowIn(benchmark::State& state) { blendFrames(state, 21, 255, false); }
void Replace(benchmark::State& state) { blendFrames(state, 22, 255, false); }

#define FRAME_SIZES Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime()

BENCHMARK(FrameCopy)->FRAME_SIZES;
BENCHMARK(TableMultiply)->FRAME_SIZES;
BENCHMARK(TableSoftLight)->FRAME_SIZES;
BENCHMARK(NormalStraightFull)->FRAME_SIZES;
BENCHMARK(NormalStraightPartial)->FRAME_SIZES;
BENCHMARK(NormalPremultiplied)->FRAME_SIZES;
BENCHMARK(HollowIn)->FRAME_SIZES;
BENCHMARK(HollowOut)->FRAME_SIZES;
BENCHMARK(TextBgHollowIn)->FRAME_SIZES;
BENCHMARK(Replace)->FRAME_SIZES;

}  // namespace
