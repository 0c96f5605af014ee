// Throughput of the recursive bilateral filter alone (one image and a flush) and of the three
// beauty effects, beside a plain frame copy of the same size.

#include "bench/BenchSupport.h"
#include "framework/rbfilter/CRBFilterSSE2.h"
#include "plugins/qorCommonFxPlugin/beauty/NLEBeautySkinColorEffect.h"
#include "plugins/qorCommonFxPlugin/beauty/NLEBeautyWhiteSkinEffect.h"
#include "plugins/qorCommonFxPlugin/beauty/NLEFaceBeautyEffect.h"

namespace {

using namespace qorbench;

// The filter as face beauty drives it: its task count, pipelined, rows without padding.
void BilateralFilter(benchmark::State& state) {
    const int width = benchWidth(state), height = benchHeight(state);
    const cv::Mat in = noiseFrame(width, height, 1, 0), out = noiseFrame(width, height, 2, 0);
    CRBFilterSSE2 filter;
    if (!filter.init(width, height, NLEFaceBeautyEffect::smootherTasks(), true)) state.SkipWithError("init failed");
    filter.setSigmas(0.25f, 0.025f);
    for (auto _ : state) {
        if (!filter.filter(out.data, in.data, width, height, width * 4)) state.SkipWithError("filter failed");
        filter.flush();
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

void FaceBeauty(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEFaceBeautyEffect>();
    qortest::setFloats(*effect, {{"smooth_lev", 50}, {"color_lev", 20}, {"white_lev", 20}});
    renderFrames(state, *effect);
}

void SkinColor(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEBeautySkinColorEffect>();
    qortest::setFloat(*effect, "color_lev", 50);
    renderFrames(state, *effect);
}

void WhiteSkin(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEBeautyWhiteSkinEffect>();
    qortest::setFloat(*effect, "white_lev", 40);
    renderFrames(state, *effect);
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(BilateralFilter)->Apply(frameSizes);
BENCHMARK(FaceBeauty)->Apply(frameSizes);
BENCHMARK(SkinColor)->Apply(frameSizes);
BENCHMARK(WhiteSkin)->Apply(frameSizes);

}  // namespace
