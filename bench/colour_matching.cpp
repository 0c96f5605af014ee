// Throughput of the two colour-matching effects, beside a plain frame copy and OpenCV's float
// BGR to Lab conversion of a frame of the same size. The targets are a warm look; the input is
// noise, so every pixel takes the full conversion.

#include <opencv2/imgproc.hpp>

#include "bench/BenchSupport.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffectV2.h"

namespace {

using namespace qorbench;

// Like renderFrames, after one untimed frame: the effects keep their working planes between the
// frames of a clip, so the first frame's page faults are no part of a frame's cost.
void renderClipFrames(benchmark::State& state, tessel::NLEEffectFilter& effect) {
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat out = noiseFrame(benchWidth(state), benchHeight(state), 3);
    qortest::render(effect, frameOf(out), tessel::Frame{}, frameOf(in));
    renderLoop(state, effect, out, cv::Mat(), in);
}

void MatchColor(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEMatchColorEffect>();
    qortest::setFloats(*effect, {{"mean_b", -0.35f}, {"mean_g", 0.12f}, {"mean_r", 0.06f},
                                 {"stddb", 0.25f}, {"stddg", 0.08f}, {"stddr", 0.05f}});
    qortest::setInt(*effect, "Enabled", 1);
    renderClipFrames(state, *effect);
}

void MatchColorV2(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEMatchColorEffectV2>();
    qortest::setFloats(*effect, {{"f0", -0.35f}, {"f1", 0.12f}, {"f2", 0.06f}, {"f3", 0.25f}, {"f4", 0.08f},
                                 {"f5", 0.05f}, {"f6", 0.3f}, {"f7", 0.5f}, {"f8", 0.001f}});
    qortest::setInt(*effect, "Enabled", 1);
    renderClipFrames(state, *effect);
}

// OpenCV's conversion of the frame as floats 0..1 from BGR to CIE Lab: the library's price for the
// colour-space step alone, where the effects also measure the frame and convert it back.
void OpenCvFloatLab(benchmark::State& state) {
    cv::Mat bgr, lab;
    cv::cvtColor(noiseFrame(benchWidth(state), benchHeight(state), 1), bgr, cv::COLOR_BGRA2BGR);
    bgr.convertTo(bgr, CV_32F, 1.0 / 255.0);
    for (auto _ : state) {
        cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
        benchmark::DoNotOptimize(lab.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(bgr.total()));
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(OpenCvFloatLab)->Apply(frameSizes);
BENCHMARK(MatchColor)->Apply(frameSizes);
BENCHMARK(MatchColorV2)->Apply(frameSizes);

}  // namespace
