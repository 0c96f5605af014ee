#pragma once
// Recursive bilateral filter for 8-bit four-channel images: an edge-preserving smoother made of a
// horizontal and a vertical pass, each a right-to-left (or bottom-to-top) and a left-to-right (or
// top-to-bottom) first-order recursion whose feedback weight shrinks where neighbouring pixels
// differ in colour. All four channels, alpha included, are smoothed; only blue, green and red
// decide the weights. The arithmetic runs in single-precision lanes, one per channel: four SSE2
// lanes of one pixel, or on processors that have them eight AVX2 or sixteen AVX-512 lanes of
// several rows or columns at once, with the same bytes as the result.
//
// Each pass is split over a fixed number of asynchronous tasks. With pipelining on, the vertical
// pass of one image overlaps the horizontal pass of the next: the output of a `filter` call is
// complete once the next `filter` call returns or after `flush`. Without pipelining every `filter`
// call completes its output before returning. An object is used from one thread at a time.

#include <array>
#include <cstdint>
#include <future>
#include <memory>

#include "framework/SimdDispatch.h"

namespace rbfilter {
struct RowBand;
struct ColumnBand;
}  // namespace rbfilter

class CRBFilterSSE2 {
public:
    static constexpr int kMinWidth = 16;
    static constexpr int kMinHeight = 16;
    static constexpr int kMaxSide = 10000;
    static constexpr int kMaxTasks = 8;

    // Runs its passes on `path`, which must be one this machine runs (the widest by default).
    explicit CRBFilterSSE2(tessel::SimdPath path = tessel::chosenSimdPath());
    ~CRBFilterSSE2();
    CRBFilterSSE2(const CRBFilterSSE2&) = delete;
    CRBFilterSSE2& operator=(const CRBFilterSSE2&) = delete;

    // Prepares buffers for images up to `width` x `height` processed by `taskCount` tasks per
    // pass. False, with the previous state kept, for a width outside 16..10000, a height outside
    // 2..10000 or a task count outside 1..8; false, with no buffers left, when memory runs out.
    // Waits for pending work first.
    bool init(int32_t width, int32_t height, int32_t taskCount, bool pipelined);

    // Spatial and range sigma, as fractions of the 0..255 scale. Call between images only.
    void setSigmas(float sigmaSpatial, float sigmaRange);

    // Submits `in` for smoothing into `out` (both `stride` bytes per row, at least 4 x width).
    // False, doing nothing, before init and setSigmas, for sizes below 16 x 16 or above the
    // initialised ones, or a short stride. A null `in` only completes pending work.
    bool filter(uint8_t* out, const uint8_t* in, int32_t width, int32_t height, int32_t stride);

    // Completes every submitted image and waits for all tasks.
    void flush();

    // Column ranges of the vertical pass: `taskCount` bands of floor(width / taskCount) columns
    // rounded down to a multiple of 4, the last band taking the rest.
    static std::array<int, kMaxTasks + 1> verticalBandStarts(int width, int taskCount);

private:
    struct Geometry {
        int32_t width = 0, height = 0, stride = 0;
    };
    using Tasks = std::array<std::future<void>, kMaxTasks>;

    void startHorizontal(const uint8_t* in, uint8_t* stage, const Geometry& g);
    void startVertical(const uint8_t* stage, uint8_t* out, const Geometry& g);
    // Runs the vertical pass of the image submitted in `slot`, if one waits there, to its end.
    void finishSlot(int slot);
    std::size_t stageStride() const { return static_cast<std::size_t>(maxWidth) * 4; }
    static void waitFor(Tasks& tasks);
    void waitForAll();
    void release();

    void (*horizontalPass)(const rbfilter::RowBand&);
    void (*verticalPass)(const rbfilter::ColumnBand&);
    int32_t maxWidth = 0, maxHeight = 0, taskCount = 0;
    bool pipelined = false;
    float sigmaSpatial = 0.0f, sigmaRange = 0.0f;
    float gain = 0.0f;
    alignas(16) float rangeTable[256] = {};
    int32_t callCount = 0;

    struct AlignedFree {
        void operator()(void* p) const;
    };
    using Buffer = std::unique_ptr<uint8_t, AlignedFree>;
    std::array<Buffer, 3> stages;
    std::array<uint8_t*, 3> slotOutputs{};
    std::array<Geometry, 3> slotGeometry{};
    Buffer rowBuffers;     // taskCount x 4 rows x maxWidth x 12 floats
    Buffer columnBuffers;  // maxWidth x 8 floats, each task using its band's columns
    Geometry last;
    Tasks horizontalTasks, verticalTasks;
};
