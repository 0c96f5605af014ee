// Throughput of the motion effect on whole frames, beside a plain frame copy of the same size and
// beside OpenCV's warp of the turned clip alone. The clip is noise with alpha over its whole range;
// the canvas is the clip's size.

#include <opencv2/imgproc.hpp>

#include "bench/BenchSupport.h"
#include "plugins/qorCommonFxPlugin/layer/NLEMotion.h"

namespace {

using namespace qorbench;
using qortest::setFloat;

// `scale` is the window's share of the canvas on both axes; the output has the window's size.
void motion(benchmark::State& state, int mode, float rotate, float scale, float alphaPercent) {
    const cv::Mat clip = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat canvas = noiseFrame(benchWidth(state), benchHeight(state), 2);
    const cv::Mat out = noiseFrame(static_cast<int>(clip.cols * scale), static_cast<int>(clip.rows * scale), 3);
    auto effect = qortest::makeEffect<NLEMotion>();
    qortest::setInt(*effect, "mode", mode);
    setFloat(*effect, "curRotate", rotate);
    setFloat(*effect, "curScaleX", scale);
    setFloat(*effect, "curScaleY", scale);
    setFloat(*effect, "alpha", alphaPercent);
    renderLoop(state, *effect, out, canvas, clip);
}

void MotionNormalFull(benchmark::State& state) { motion(state, 0, 0, 1, 100); }
void MotionNormalHalfOpacity(benchmark::State& state) { motion(state, 0, 0, 1, 50); }
void MotionMultiply(benchmark::State& state) { motion(state, 2, 0, 1, 100); }
void MotionReplace(benchmark::State& state) { motion(state, 22, 0, 1, 100); }
void MotionHalfWindow(benchmark::State& state) { motion(state, 0, 0, 0.5f, 100); }
void MotionRotated(benchmark::State& state) { motion(state, 0, 15, 1, 100); }

// The peer of MotionRotated: cv::warpAffine (bilinear, transparent border) of the clip turned by
// 15 degrees about the frame centre into a cleared layer, without the background or the blend.
void OpenCvWarpAffine15(benchmark::State& state) {
    const cv::Mat clip = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(clip.cols / 2.0f, clip.rows / 2.0f), -15, 1);
    cv::Mat layer;
    for (auto _ : state) {
        layer = cv::Mat::zeros(clip.size(), clip.type());
        cv::warpAffine(clip, layer, turn, clip.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(clip.total()));
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(MotionNormalFull)->Apply(frameSizes);
BENCHMARK(MotionNormalHalfOpacity)->Apply(frameSizes);
BENCHMARK(MotionMultiply)->Apply(frameSizes);
BENCHMARK(MotionReplace)->Apply(frameSizes);
BENCHMARK(MotionHalfWindow)->Apply(frameSizes);
BENCHMARK(MotionRotated)->Apply(frameSizes);
BENCHMARK(OpenCvWarpAffine15)->Apply(frameSizes);

}  // namespace
