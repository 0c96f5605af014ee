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

// The blend with a mask of `skinShare` of the frame's height, the rest free of skin.
void protectionBlend(benchmark::State& state, double skinShare) {
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat mask = noiseFrame(benchWidth(state), benchHeight(state), 2);
    mask.rowRange(static_cast<int>(mask.rows * skinShare), mask.rows).setTo(cv::Scalar::all(0));
    const cv::Mat out = noiseFrame(benchWidth(state), benchHeight(state), 3);
    for (auto _ : state) {
        tessel::qorCommonFxPlugin::protectSkin(frameOf(in), mask, frameOf(out), 255);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

void SkinProtectionBlend(benchmark::State& state) { protectionBlend(state, 1.0); }
void SkinProtectionBlendQuarterSkin(benchmark::State& state) { protectionBlend(state, 0.25); }

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(SkinDetection)->Apply(frameSizes);
BENCHMARK(SkinProtectionBlend)->Apply(frameSizes);
BENCHMARK(SkinProtectionBlendQuarterSkin)->Apply(frameSizes);

}  // namespace
