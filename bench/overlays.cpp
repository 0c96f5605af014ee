// Throughput of the overlay and generator effects (render region, video generator, circle
// highlight, click rings) through their Transform, beside a plain frame copy of the same size.
// The cursor overlays copy the frame and then visit only the box around the mouse, so their cost
// over the copy follows the box, not the frame.

#include <utility>
#include <vector>

#include "bench/BenchSupport.h"
#include "plugins/qorCommonFxPlugin/overlays/NLECircleHighlight.h"
#include "plugins/qorCommonFxPlugin/overlays/NLERenderRegion.h"
#include "plugins/qorCommonFxPlugin/overlays/NLERings.h"
#include "plugins/qorCommonFxPlugin/overlays/NLEVideoGenerator.h"

namespace {

using namespace qorbench;

template <typename Effect>
std::unique_ptr<Effect> makeEffect(const std::vector<std::pair<const char*, int32_t>>& ints,
                                   const std::vector<std::pair<const char*, float>>& floats) {
    auto effect = qortest::makeEffect<Effect>();
    for (const auto& [name, value] : ints) qortest::setInt(*effect, name, value);
    for (const auto& [name, value] : floats) qortest::setFloat(*effect, name, value);
    return effect;
}

void RenderRegion(benchmark::State& state) {
    const int width = benchWidth(state);
    const int height = benchHeight(state);
    auto effect = makeEffect<NLERenderRegion>(
        {{"fLeft", width / 4}, {"fTop", height / 4}, {"editViewsWidth", width / 2}, {"editViewsHeight", height / 2},
         {"outSideAreaR", 20}, {"outSideAreaG", 30}, {"outSideAreaB", 40}, {"outSideAreaA", 128},
         {"outLineLeft", 10}, {"outLineTop", 10}, {"outLineWidth", width - 20}, {"outLineHeight", height - 20},
         {"inLineLeft", width / 8}, {"inLineTop", height / 8}, {"inLineWidth", width * 3 / 4},
         {"inLineHeight", height * 3 / 4}, {"lineR0", 255}, {"lineG0", 255}, {"lineB0", 255},
         {"outLineSafeZoom", 1}, {"inLineSafeZoom", 1}},
        {});
    renderFrames(state, *effect);
}

void VideoGeneratorSolid(benchmark::State& state) {
    auto effect = makeEffect<NLEVideoGenerator>({{"mode", 0}, {"channelChoose", 3}},
                                                {{"r0", 0.9f}, {"g0", 0.4f}, {"b0", 0.1f}});
    renderFrames(state, *effect);
}

void VideoGeneratorGradient(benchmark::State& state) {
    auto effect = makeEffect<NLEVideoGenerator>(
        {{"mode", 1}, {"channelChoose", 0}},
        {{"theta", 30.0f}, {"r0", 0.9f}, {"g0", 0.4f}, {"b0", 0.1f}, {"r1", 0.1f}, {"g1", 0.5f}, {"b1", 0.8f}});
    renderFrames(state, *effect);
}

// The gradient is kept between frames; turning it every frame measures its full build.
void VideoGeneratorTurningGradient(benchmark::State& state) {
    auto effect = makeEffect<NLEVideoGenerator>(
        {{"mode", 1}, {"channelChoose", 0}},
        {{"r0", 0.9f}, {"g0", 0.4f}, {"b0", 0.1f}, {"r1", 0.1f}, {"g1", 0.5f}, {"b1", 0.8f}});
    const cv::Mat in = noiseFrame(benchWidth(state), benchHeight(state), 1);
    const cv::Mat out = noiseFrame(benchWidth(state), benchHeight(state), 3);
    float theta = 0.0f;
    for (auto _ : state) {
        theta += 1.0f;
        qortest::setFloat(*effect, "theta", theta);
        if (qortest::render(*effect, frameOf(out), frameOf(in)) != 0) state.SkipWithError("Transform failed");
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.total()));
}

// The cursor overlays: the default radius (a fraction of the frame width, so the box grows with
// the width), a radius scaled so that the box has the same pixel size at every frame size, and the
// mouse off the frame (box empty: the copy alone, through the effect).
constexpr float kReferenceWidth = 1920.0f;

float widthOf(const benchmark::State& state) { return static_cast<float>(state.range(0)); }

void CircleHighlight(benchmark::State& state) {
    auto effect = makeEffect<NLECircleHighlight>({}, {{"iMouseX", 700.0f}, {"iMouseY", 500.0f}});
    renderFrames(state, *effect);
}

void CircleHighlightFixedBox(benchmark::State& state) {
    const float radius = 0.1f * kReferenceWidth / widthOf(state);
    auto effect = makeEffect<NLECircleHighlight>({}, {{"Radius", radius}, {"iMouseX", 700.0f}, {"iMouseY", 500.0f}});
    renderFrames(state, *effect);
}

void CircleHighlightOffFrame(benchmark::State& state) {
    auto effect = makeEffect<NLECircleHighlight>({}, {{"iMouseX", -5000.0f}, {"iMouseY", 500.0f}});
    renderFrames(state, *effect);
}

void Rings(benchmark::State& state) {
    auto effect = makeEffect<NLERings>({}, {{"iMouseX", 700.0f}, {"iMouseY", 500.0f}, {"Process", 0.37f}});
    renderFrames(state, *effect);
}

// The ring box is radius-dependent through (Radius / 1.2 + 0.01) * width; keep that product at its
// value for Radius 1 at 1920 pixels.
void RingsFixedBox(benchmark::State& state) {
    const float radius = 1.2f * ((1.0f / 1.2f + 0.01f) * kReferenceWidth / widthOf(state) - 0.01f);
    auto effect = makeEffect<NLERings>(
        {}, {{"Radius", radius}, {"iMouseX", 700.0f}, {"iMouseY", 500.0f}, {"Process", 0.37f}});
    renderFrames(state, *effect);
}

void RingsOffFrame(benchmark::State& state) {
    auto effect = makeEffect<NLERings>({}, {{"iMouseX", -5000.0f}, {"iMouseY", 500.0f}, {"Process", 0.37f}});
    renderFrames(state, *effect);
}

BENCHMARK(FrameCopy)->Apply(frameSizes);
BENCHMARK(RenderRegion)->Apply(frameSizes);
BENCHMARK(VideoGeneratorSolid)->Apply(frameSizes);
BENCHMARK(VideoGeneratorGradient)->Apply(frameSizes);
BENCHMARK(VideoGeneratorTurningGradient)->Apply(frameSizes);
BENCHMARK(CircleHighlight)->Apply(frameSizes);
BENCHMARK(CircleHighlightFixedBox)->Apply(frameSizes);
BENCHMARK(CircleHighlightOffFrame)->Apply(frameSizes);
BENCHMARK(Rings)->Apply(frameSizes);
BENCHMARK(RingsFixedBox)->Apply(frameSizes);
BENCHMARK(RingsOffFrame)->Apply(frameSizes);

}  // namespace
