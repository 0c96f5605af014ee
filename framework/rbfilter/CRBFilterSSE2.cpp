#include "framework/rbfilter/CRBFilterSSE2.h"

#include "framework/rbfilter/RecursivePasses.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>

#include <sys/mman.h>

using namespace rbfilter;

namespace {

constexpr std::size_t kBufferAlignment = 64;  // the widest vectors' loads and stores are aligned
constexpr std::size_t kHugePage = std::size_t{2} << 20;

void* allocateAligned(std::size_t bytes, std::size_t alignment = kBufferAlignment) {
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    return std::aligned_alloc(alignment, rounded);
}

// The vertical pass walks a stage image a row apart in each column band, which on 4 KB pages
// makes nearly every row a page of its own; stage images of a huge page or more are laid on
// huge pages where the system offers them (a 3840x2160 vertical pass then takes about a tenth
// less time).
void* allocateStage(std::size_t bytes) {
    if (bytes < kHugePage) return allocateAligned(bytes);
    void* stage = allocateAligned(bytes, kHugePage);
    if (stage) madvise(stage, (bytes + kHugePage - 1) / kHugePage * kHugePage, MADV_HUGEPAGE);
    return stage;
}

}  // namespace

void CRBFilterSSE2::AlignedFree::operator()(void* p) const { std::free(p); }

CRBFilterSSE2::CRBFilterSSE2(tessel::SimdPath path)
    : horizontalPass(kHorizontalPasses.at(path)), verticalPass(kVerticalPasses.at(path)) {}

CRBFilterSSE2::~CRBFilterSSE2() { waitForAll(); }

std::array<int, CRBFilterSSE2::kMaxTasks + 1> CRBFilterSSE2::verticalBandStarts(int width, int taskCount) {
    std::array<int, kMaxTasks + 1> starts{};
    const int band = (width / taskCount) & ~3;
    for (int i = 0; i < taskCount; ++i) starts[i] = i * band;
    starts[taskCount] = width;
    return starts;
}

bool CRBFilterSSE2::init(int32_t width, int32_t height, int32_t tasks, bool pipelining) {
    if (width < kMinWidth || width > kMaxSide || height < 2 || height > kMaxSide || tasks < 1 || tasks > kMaxTasks) {
        return false;
    }
    waitForAll();
    callCount = 0;
    slotOutputs = {};
    const int unit = 4 * tasks;
    const int paddedWidth = (width + unit - 1) / unit * unit;
    const bool sameBuffers =
        stages[0] && paddedWidth == maxWidth && height == maxHeight && tasks == taskCount && pipelining == pipelined;
    if (sameBuffers) return true;

    release();
    const auto pixels = static_cast<std::size_t>(paddedWidth) * static_cast<std::size_t>(height);
    for (int s = 0; s < (pipelining ? 3 : 1); ++s) {
        stages[s].reset(static_cast<uint8_t*>(allocateStage(pixels * kChannels)));
        if (!stages[s]) return release(), false;
    }
    rowBuffers.reset(static_cast<uint8_t*>(allocateAligned(static_cast<std::size_t>(tasks) * kBufferedRows *
                                                           paddedWidth * kRowFloatsPerPixel * sizeof(float))));
    columnBuffers.reset(static_cast<uint8_t*>(
        allocateAligned(static_cast<std::size_t>(paddedWidth) * kColumnFloatsPerPixel * sizeof(float))));
    if (!rowBuffers || !columnBuffers) return release(), false;
    maxWidth = paddedWidth;
    maxHeight = height;
    taskCount = tasks;
    pipelined = pipelining;
    return true;
}

void CRBFilterSSE2::release() {
    for (Buffer& stage : stages) stage.reset();
    rowBuffers.reset();
    columnBuffers.reset();
    maxWidth = maxHeight = taskCount = 0;
}

void CRBFilterSSE2::setSigmas(float spatial, float range) {
    if (spatial == sigmaSpatial && range == sigmaRange) return;
    sigmaSpatial = spatial;
    sigmaRange = range;
    // Sigmas that are not positive numbers would make the weights grow or turn into NaN: the
    // filter then refuses images until it gets usable ones.
    if (!(spatial > 0.0f && range > 0.0f && std::isfinite(spatial) && std::isfinite(range))) {
        gain = 0.0f;
        return;
    }
    const double alpha = std::exp(std::sqrt(2.0) / (static_cast<double>(spatial) * -255.0));
    gain = static_cast<float>(1.0 - alpha);
    const double inverse = 1.0 / static_cast<double>(range * 255.0f);
    for (int d = 0; d < 256; ++d) rangeTable[d] = static_cast<float>(alpha * std::exp(-d * inverse));
}

bool CRBFilterSSE2::filter(uint8_t* out, const uint8_t* in, int32_t width, int32_t height, int32_t stride) {
    if (!stages[0] || width < kMinWidth || width > maxWidth || height < kMinHeight || height > maxHeight ||
        static_cast<int64_t>(stride) < static_cast<int64_t>(width) * kChannels || gain == 0.0f) {
        return false;
    }
    last = {width, height, stride};
    if (!pipelined) {
        if (!in || !out) return true;
        startHorizontal(in, stages[0].get(), last);
        waitFor(horizontalTasks);
        startVertical(stages[0].get(), out, last);
        waitFor(verticalTasks);
        return true;
    }
    waitFor(horizontalTasks);
    const int slot = callCount % 3;
    const int previous = callCount == 0 ? -1 : (callCount - 1) % 3;
    ++callCount;
    // A call without input has nothing to finish later.
    slotOutputs[slot] = in ? out : nullptr;
    slotGeometry[slot] = last;
    if (in) startHorizontal(in, stages[slot].get(), last);
    // The previous image's vertical pass overlaps this image's horizontal pass.
    finishSlot(previous);
    return true;
}

void CRBFilterSSE2::flush() {
    waitFor(horizontalTasks);
    if (callCount > 0) finishSlot((callCount - 1) % 3);
    callCount = 0;
}

void CRBFilterSSE2::finishSlot(int slot) {
    if (slot < 0 || !slotOutputs[slot]) return;
    startVertical(stages[slot].get(), slotOutputs[slot], slotGeometry[slot]);
    slotOutputs[slot] = nullptr;
    waitFor(verticalTasks);
}

void CRBFilterSSE2::waitFor(Tasks& tasks) {
    for (std::future<void>& task : tasks) {
        if (task.valid()) task.get();
    }
}

void CRBFilterSSE2::waitForAll() {
    waitFor(horizontalTasks);
    waitFor(verticalTasks);
}

namespace {

// Starts `work` as an asynchronous task; when no thread can be started it runs on the caller.
template <class Work>
void launch(std::future<void>& task, Work work) {
    try {
        task = std::async(std::launch::async, work);
    } catch (const std::exception&) {
        work();
    }
}

}  // namespace

void CRBFilterSSE2::startHorizontal(const uint8_t* in, uint8_t* stage, const Geometry& g) {
    const int rowsPerTask = g.height / taskCount;
    auto* buffers = reinterpret_cast<float*>(rowBuffers.get());
    for (int i = 0; i < taskCount; ++i) {
        const int first = i * rowsPerTask;
        const int end = i == taskCount - 1 ? g.height : first + rowsPerTask;
        float* buffer = buffers + static_cast<std::size_t>(i) * kBufferedRows * maxWidth * kRowFloatsPerPixel;
        const RowBand band{in, g.stride, stage, stageStride(), g.width, first, end, buffer, maxWidth, gain, rangeTable};
        launch(horizontalTasks[i], [pass = horizontalPass, band] { pass(band); });
    }
}

void CRBFilterSSE2::startVertical(const uint8_t* stage, uint8_t* out, const Geometry& g) {
    const auto starts = verticalBandStarts(g.width, taskCount);
    auto* cells = reinterpret_cast<float*>(columnBuffers.get());
    for (int i = 0; i < taskCount; ++i) {
        if (starts[i] == starts[i + 1]) continue;
        float* bandCells = cells + static_cast<std::size_t>(starts[i]) * kColumnFloatsPerPixel;
        const ColumnBand band{stage, stageStride(), out, g.stride, g.height, starts[i], starts[i + 1],
                              bandCells, gain, rangeTable};
        launch(verticalTasks[i], [pass = verticalPass, band] { pass(band); });
    }
}
