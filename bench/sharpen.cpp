// Throughput of the sharpen/soften effect and of the resize blur, beside a plain frame copy of the
// same size.

#include <array>
#include <functional>

#include <opencv2/imgproc.hpp>

#include "bench/BenchSupport.h"
#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEResizeBlur.h"
#include "plugins/qorCommonFxPlugin/finishing/NLESharpenEffect.h"

namespace {

using namespace qorbench;

void sharpenWithAmount(benchmark::State& state, float amount) {
    auto effect = qortest::makeEffect<NLESharpenEffect>();
    qortest::setFloat(*effect, "amount", amount);
    renderFrames(state, *effect);
}

void Sharpen50(benchmark::State& state) { sharpenWithAmount(state, 50); }
void SoftenMinus50(benchmark::State& state) { sharpenWithAmount(state, -50); }
void SoftenMinus100(benchmark::State& state) { sharpenWithAmount(state, -100); }
// Far past the declared minimum: must cost no more than -100.
void SoftenMinusHuge(benchmark::State& state) { sharpenWithAmount(state, -3.4e38f); }

// Peers of the soften path at amount -100, in the same run: the three box blurs as OpenCV runs
// them (one cv::boxFilter pass over eight bands at a time), and OpenCV's Gaussian blur of the
// kernel size the boxes approximate.
void openCvPeer(benchmark::State& state, const std::function<void(const cv::Mat&, cv::Mat&, int)>& blur) {
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    cv::Mat out = noiseFrame(benchWidth(state), benchHeight(state), 3);
    const int kernelSize = NLESharpenEffect::softenKernelSize(-100, in.cols, in.rows);
    for (auto _ : state) {
        blur(in, out, kernelSize);
        benchmark::DoNotOptimize(out.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

void SoftenMinus100OpenCvBoxes(benchmark::State& state) {
    cv::Mat scratch[2];
    openCvPeer(state, [&](const cv::Mat& in, cv::Mat& out, int kernelSize) {
        const std::array<int, 3> sizes = NLESharpenEffect::softenBoxSizes(kernelSize);
        const cv::Mat* from[] = {&in, &scratch[0], &scratch[1]};
        cv::Mat* to[] = {&scratch[0], &scratch[1], &out};
        for (int pass = 0; pass < 3; ++pass) {
            to[pass]->create(in.size(), in.type());
            tessel::parallelStripes(in.rows, 8, [&](const cv::Range& rows) {
                cv::Mat band = to[pass]->rowRange(rows);
                cv::boxFilter(from[pass]->rowRange(rows), band, -1, cv::Size(sizes[pass], sizes[pass]),
                              cv::Point(-1, -1), true, cv::BORDER_REFLECT_101);
            });
        }
    });
}

void SoftenMinus100OpenCvGaussian(benchmark::State& state) {
    openCvPeer(state, [](const cv::Mat& in, cv::Mat& out, int kernelSize) {
        cv::GaussianBlur(in, out, cv::Size(kernelSize | 1, kernelSize | 1), 0, 0, cv::BORDER_REFLECT_101);
    });
}

// Reduction to 1/`factor` of each side.
void resizeBlur(benchmark::State& state, int factor, int type, int maxRadius = 50) {
    auto effect = qortest::makeEffect<NLEResizeBlur>();
    qortest::setInt(*effect, "destImageWidth", benchWidth(state) / factor);
    qortest::setInt(*effect, "destImageHeight", benchHeight(state) / factor);
    qortest::setInt(*effect, "resizeBlurType", type);
    qortest::setInt(*effect, "kernelMaxRadius", maxRadius);
    renderFrames(state, *effect);
}

void ResizeBlurBoxHalf(benchmark::State& state) { resizeBlur(state, 2, 0); }
void ResizeBlurBoxQuarter(benchmark::State& state) { resizeBlur(state, 4, 0); }
void ResizeBlurGaussianQuarter(benchmark::State& state) { resizeBlur(state, 4, 1); }
// A reduction to a tenth: an 11-tap Gaussian, the narrowest filtered in float.
void ResizeBlurGaussianTenth(benchmark::State& state) { resizeBlur(state, 10, 1); }
void ResizeBlurBoxTiny(benchmark::State& state) { resizeBlur(state, 1000, 0); }
// Reductions to a few pixels, with the declared maximum radius and far past it.
void ResizeBlurGaussianTiny(benchmark::State& state) { resizeBlur(state, 1000, 1); }
void ResizeBlurGaussianTinyHugeMaximum(benchmark::State& state) { resizeBlur(state, 1000, 1, 1000000); }

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(Sharpen50)->Apply(frameSizes);
BENCHMARK(SoftenMinus50)->Apply(frameSizes);
BENCHMARK(SoftenMinus100)->Apply(frameSizes);
BENCHMARK(SoftenMinusHuge)->Apply(frameSizes);
BENCHMARK(SoftenMinus100OpenCvBoxes)->Apply(frameSizes);
BENCHMARK(SoftenMinus100OpenCvGaussian)->Apply(frameSizes);
BENCHMARK(ResizeBlurBoxHalf)->Apply(frameSizes);
BENCHMARK(ResizeBlurBoxQuarter)->Apply(frameSizes);
BENCHMARK(ResizeBlurGaussianQuarter)->Apply(frameSizes);
BENCHMARK(ResizeBlurGaussianTenth)->Apply(frameSizes);
BENCHMARK(ResizeBlurBoxTiny)->Apply(frameSizes);
BENCHMARK(ResizeBlurGaussianTiny)->Apply(frameSizes);
BENCHMARK(ResizeBlurGaussianTinyHugeMaximum)->Apply(frameSizes);

}  // namespace
