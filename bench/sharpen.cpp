// Throughput of the sharpen/soften effect and of the resize blur, beside a plain frame copy of the
// same size.

#include "bench/BenchSupport.h"
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
// Reductions to a few pixels, with the declared maximum radius and far past it.
void ResizeBlurGaussianTiny(benchmark::State& state) { resizeBlur(state, 1000, 1); }
void ResizeBlurGaussianTinyHugeMaximum(benchmark::State& state) { resizeBlur(state, 1000, 1, 1000000); }

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(Sharpen50)->Apply(frameSizes);
BENCHMARK(SoftenMinus50)->Apply(frameSizes);
BENCHMARK(SoftenMinus100)->Apply(frameSizes);
BENCHMARK(SoftenMinusHuge)->Apply(frameSizes);
BENCHMARK(ResizeBlurBoxHalf)->Apply(frameSizes);
BENCHMARK(ResizeBlurBoxQuarter)->Apply(frameSizes);
BENCHMARK(ResizeBlurGaussianQuarter)->Apply(frameSizes);
BENCHMARK(ResizeBlurGaussianTiny)->Apply(frameSizes);
BENCHMARK(ResizeBlurGaussianTinyHugeMaximum)->Apply(frameSizes);

}  // namespace
