// Throughput of the layer effects (transform, compare view, pixel rotate, scope) beside a plain
// frame copy of the same size, and beside OpenCV doing the transform's turn and a quarter turn on
// the same frames. Frames are noise pictures with alpha spread over 0..255.

#include <opencv2/imgproc.hpp>

#include "bench/BenchSupport.h"
#include "plugins/qorCommonFxPlugin/layer/NLECompareView.h"
#include "plugins/qorCommonFxPlugin/layer/NLEPixelRotateEffect.h"
#include "plugins/qorCommonFxPlugin/layer/NLEScopeEffect.h"
#include "plugins/qorCommonFxPlugin/layer/NLETransform.h"

namespace {

using namespace qorbench;
using qortest::setFloat;
using qortest::setInt;

// Renders a main and a second input of the benchmark's size through `effect`, into an output of
// the same size or, when `portraitOutput`, of that size turned upright.
void renderLayers(benchmark::State& state, tessel::NLEEffectFilter& effect, bool portraitOutput = false) {
    const int width = benchWidth(state), height = benchHeight(state);
    const cv::Mat in = noiseFrame(width, height, 1), second = noiseFrame(width, height, 2);
    const cv::Mat out = portraitOutput ? noiseFrame(height, width, 3) : noiseFrame(width, height, 3);
    renderLoop(state, effect, out, second, in);
}

void transform(benchmark::State& state, int theta) {
    auto effect = qortest::makeEffect<NLETransform>();
    setInt(*effect, "theta", theta);
    renderLayers(state, *effect);
}

void compareView(benchmark::State& state, int mode) {
    auto effect = qortest::makeEffect<NLECompareView>();
    setInt(*effect, "mode", mode);
    renderLayers(state, *effect);
}

void pixelRotate(benchmark::State& state, int rotateType, bool portraitOutput) {
    auto effect = qortest::makeEffect<NLEPixelRotateEffect>();
    setInt(*effect, "rotateType", rotateType);
    renderLayers(state, *effect, portraitOutput);
}

// The footprint centred, scaled by `scale` on both axes and turned by `rotation` degrees.
void scope(benchmark::State& state, float scale, float rotation, int blendMode, float alpha) {
    auto effect = qortest::makeEffect<NLEScopeEffect>();
    setFloat(*effect, "Scale_x", scale);
    setFloat(*effect, "Scale_y", scale);
    setFloat(*effect, "Rotation", rotation);
    setInt(*effect, "BlendMode", blendMode);
    setFloat(*effect, "Alpha", alpha);
    renderLayers(state, *effect);
}

// The peers: cv::warpAffine with the transform's matrix for 30 degrees (bilinear, transparent
// border), and cv::rotate by a quarter turn into a portrait output.
void OpenCvWarpAffine30(benchmark::State& state) {
    const int width = benchWidth(state), height = benchHeight(state);
    const cv::Mat in = noiseFrame(width, height, 1), out = noiseFrame(width, height, 3);
    const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(width / 2.0f, height / 2.0f), -30, 1);
    cv::Mat target = out;
    for (auto _ : state) {
        cv::warpAffine(in, target, turn, out.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

void OpenCvRotateQuarter(benchmark::State& state) {
    const int width = benchWidth(state), height = benchHeight(state);
    const cv::Mat in = noiseFrame(width, height, 1), out = noiseFrame(height, width, 3);
    cv::Mat target = out;
    for (auto _ : state) {
        cv::rotate(in, target, cv::ROTATE_90_CLOCKWISE);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

void TransformCopy(benchmark::State& state) { transform(state, 0); }
void TransformRotate30(benchmark::State& state) { transform(state, 30); }
void CompareSideBySide(benchmark::State& state) { compareView(state, 2); }
void CompareSplit(benchmark::State& state) { compareView(state, 3); }
void PixelRotateQuarterPortrait(benchmark::State& state) { pixelRotate(state, 0, true); }
void PixelRotateQuarterStretched(benchmark::State& state) { pixelRotate(state, 0, false); }
void PixelRotateHalfTurn(benchmark::State& state) { pixelRotate(state, 1, false); }
void ScopeFullFrame(benchmark::State& state) { scope(state, 1.0f, 0.0f, 0, 1.0f); }
void ScopeFullFrameOverlay(benchmark::State& state) { scope(state, 1.0f, 0.0f, 8, 0.7f); }
void ScopeTurnedHalf(benchmark::State& state) { scope(state, 0.5f, 30.0f, 8, 0.7f); }

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(TransformCopy)->Apply(frameSizes);
BENCHMARK(TransformRotate30)->Apply(frameSizes);
BENCHMARK(OpenCvWarpAffine30)->Apply(frameSizes);
BENCHMARK(CompareSideBySide)->Apply(frameSizes);
BENCHMARK(CompareSplit)->Apply(frameSizes);
BENCHMARK(PixelRotateQuarterPortrait)->Apply(frameSizes);
BENCHMARK(OpenCvRotateQuarter)->Apply(frameSizes);
BENCHMARK(PixelRotateQuarterStretched)->Apply(frameSizes);
BENCHMARK(PixelRotateHalfTurn)->Apply(frameSizes);
BENCHMARK(ScopeFullFrame)->Apply(frameSizes);
BENCHMARK(ScopeFullFrameOverlay)->Apply(frameSizes);
BENCHMARK(ScopeTurnedHalf)->Apply(frameSizes);

}  // namespace
