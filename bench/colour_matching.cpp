// Throughput of the two colour-matching effects, beside a plain frame copy of the same size. The
// targets are a warm look; the input is noise, so every pixel takes the full conversion.

#include "bench/BenchSupport.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffectV2.h"

namespace {

using namespace qorbench;

void MatchColor(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEMatchColorEffect>();
    qortest::setFloats(*effect, {{"mean_b", -0.35f}, {"mean_g", 0.12f}, {"mean_r", 0.06f},
                                 {"stddb", 0.25f}, {"stddg", 0.08f}, {"stddr", 0.05f}});
    qortest::setInt(*effect, "Enabled", 1);
    renderFrames(state, *effect);
}

void MatchColorV2(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEMatchColorEffectV2>();
    qortest::setFloats(*effect, {{"f0", -0.35f}, {"f1", 0.12f}, {"f2", 0.06f}, {"f3", 0.25f}, {"f4", 0.08f},
                                 {"f5", 0.05f}, {"f6", 0.3f}, {"f7", 0.5f}, {"f8", 0.001f}});
    qortest::setInt(*effect, "Enabled", 1);
    renderFrames(state, *effect);
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(MatchColor)->Apply(frameSizes);
BENCHMARK(MatchColorV2)->Apply(frameSizes);

}  // namespace
