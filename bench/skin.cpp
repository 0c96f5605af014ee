// Skin protection: the AI module's skin detection and the protection blend, beside a plain frame
// copy of the same size.

#include "bench/BenchSupport.h"
#include "plugins/qorAiFilterPlugin/SkinDetector.h"
#include "plugins/qorCommonFxPlugin/SkinProtection.h"

namespace {

using namespace qorbench;

void SkinDetection(benchmark::State& state) {
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    cv::Mat mask = noiseFrame(benchWidth(state), benchHeight(state), 2);
    const qorai::SkinDetector detector;
    for (auto _ : state) {
        detector.detect(in, mask);
        benchmark::DoNotOptimize(mask.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

void SkinProtectionBlend(benchmark::State& state) {
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat mask = noiseFrame(benchWidth(state), benchHeight(state), 2);
    const cv::Mat out = noiseFrame(benchWidth(state), benchHeight(state), 3);
    for (auto _ : state) {
        tessel::qorCommonFxPlugin::protectSkin(frameOf(in), mask, frameOf(out), 255);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(SkinDetection)->Apply(frameSizes);
BENCHMARK(SkinProtectionBlend)->Apply(frameSizes);

}  // namespace
