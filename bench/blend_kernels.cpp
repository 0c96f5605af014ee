// Throughput of the compositing kernels, one benchmark per mode family (and the table modes that
// ffmpeg's blend filter also has), beside a plain frame copy of the same size. Source and
// destination are noise pictures with alpha spread over 0..255.

#include "bench/BenchSupport.h"
#include "compositing/BlendImage.h"

namespace {

using namespace qorbench;

constexpr int kStripes = 8;

void blendFrames(benchmark::State& state, uint32_t mode, int strength, bool premultiplied) {
    const cv::Mat src = noiseFrame(benchWidth(state), benchHeight(state), 1);
    cv::Mat dst = noiseFrame(benchWidth(state), benchHeight(state), 2);
    for (auto _ : state) {
        imageC::blendImage(src, dst, mode, strength, premultiplied, kStripes);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(src.total()));
}
void TableMultiply(benchmark::State& state) { blendFrames(state, 2, 200, false); }
void TableSoftLight(benchmark::State& state) { blendFrames(state, 9, 255, false); }
void TableScreen(benchmark::State& state) { blendFrames(state, 5, 255, false); }
void TableOverlay(benchmark::State& state) { blendFrames(state, 8, 255, false); }
void TableHardLight(benchmark::State& state) { blendFrames(state, 10, 255, false); }
void TableDifference(benchmark::State& state) { blendFrames(state, 15, 255, false); }
void TableColorDodge(benchmark::State& state) { blendFrames(state, 6, 255, false); }
void NormalStraightFull(benchmark::State& state) { blendFrames(state, 0, 255, false); }
void NormalStraightPartial(benchmark::State& state) { blendFrames(state, 0, 180, false); }
void NormalPremultiplied(benchmark::State& state) { blendFrames(state, 0, 200, true); }
void HollowIn(benchmark::State& state) { blendFrames(state, 19, 255, false); }
void HollowOut(benchmark::State& state) { blendFrames(state, 20, 255, false); }
void TextBgHollowIn(benchmark::State& state) { blendFrames(state, 21, 255, false); }
void Replace(benchmark::State& state) { blendFrames(state, 22, 255, false); }

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(TableMultiply)->Apply(frameSizes);
BENCHMARK(TableSoftLight)->Apply(frameSizes);
BENCHMARK(TableScreen)->Apply(frameSizes);
BENCHMARK(TableOverlay)->Apply(frameSizes);
BENCHMARK(TableHardLight)->Apply(frameSizes);
BENCHMARK(TableDifference)->Apply(frameSizes);
BENCHMARK(TableColorDodge)->Apply(frameSizes);
BENCHMARK(NormalStraightFull)->Apply(frameSizes);
BENCHMARK(NormalStraightPartial)->Apply(frameSizes);
BENCHMARK(NormalPremultiplied)->Apply(frameSizes);
BENCHMARK(HollowIn)->Apply(frameSizes);
BENCHMARK(HollowOut)->Apply(frameSizes);
BENCHMARK(TextBgHollowIn)->Apply(frameSizes);
BENCHMARK(Replace)->Apply(frameSizes);

}  // namespace
