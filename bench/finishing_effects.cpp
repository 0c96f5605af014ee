// Throughput of the border and tone-map effects, beside a plain frame copy of the same size.

#include "bench/BenchSupport.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEBoarder.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEToneMapToSelectColor.h"

namespace {

using namespace qorbench;

void border(benchmark::State& state, float amp) {
    auto effect = qortest::makeEffect<NLEBoarder>();
    qortest::setFloat(*effect, "amp", amp);
    renderFrames(state, *effect);
}

void BorderAmp10(benchmark::State& state) { border(state, 10); }
void BorderAmp300(benchmark::State& state) { border(state, 300); }

void ToneMap(benchmark::State& state) {
    auto effect = qortest::makeEffect<NLEToneMapToSelectColor>();
    qortest::setInt(*effect, "darkLuma", 0x402010);
    qortest::setInt(*effect, "lightLuma", 0xF0E0A0);
    qortest::setInt(*effect, "Strength", 70);
    renderFrames(state, *effect);
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(BorderAmp10)->Apply(frameSizes);
BENCHMARK(BorderAmp300)->Apply(frameSizes);
BENCHMARK(ToneMap)->Apply(frameSizes);

}  // namespace
