#include "framework/rbfilter/CRBFilterSSE2.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

constexpr int kChannels = 4;
constexpr int kRowFloatsPerPixel = 12;    // weight, gain x input and right-to-left result, 4 lanes each
constexpr int kRowsTogether = 2;          // rows a horizontal task sweeps side by side
constexpr int kColumnFloatsPerPixel = 8;  // accumulator and normaliser, 4 lanes each

// One BGRA pixel as four float lanes.
inline __m128 loadPixel(const uint8_t* p) {
    int32_t bits;
    std::memcpy(&bits, p, sizeof bits);
    const __m128i zero = _mm_setzero_si128();
    const __m128i words = _mm_unpacklo_epi8(_mm_cvtsi32_si128(bits), zero);
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
}

// Four integer lanes saturated to bytes.
inline void storePixel(uint8_t* p, __m128i lanes) {
    const __m128i words = _mm_packs_epi32(lanes, lanes);
    const int32_t bits = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(p, &bits, sizeof bits);
}

// Four pixels of integer lanes saturated to 16 bytes.
inline __m128i packPixels(__m128i p0, __m128i p1, __m128i p2, __m128i p3) {
    return _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
}

// Range distances of four pixel pairs: the largest absolute difference of blue, green and red.
inline void rangeDistances4(const uint8_t* p, const uint8_t* q, int32_t d[4]) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i diff =
        _mm_and_si128(_mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a)), _mm_set1_epi32(0x00FFFFFF));
    const __m128i m = _mm_max_epu8(_mm_max_epu8(diff, _mm_srli_epi32(diff, 8)), _mm_srli_epi32(diff, 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_and_si128(m, _mm_set1_epi32(0xFF)));
}

inline int rangeDistance(const uint8_t* p, const uint8_t* q) {
    int d = 0;
    for (int k = 0; k < 3; ++k) d = std::max(d, std::abs(p[k] - q[k]));
    return d;
}

// One step of a recursion in four lanes: acc = w * acc + gain * value, norm = w * norm + gain;
// returns acc / norm.
inline __m128 recurse(__m128 w, __m128 weightedValue, __m128 gain, __m128& acc, __m128& norm) {
    acc = _mm_add_ps(_mm_mul_ps(w, acc), weightedValue);
    norm = _mm_add_ps(_mm_mul_ps(w, norm), gain);
    return _mm_div_ps(acc, norm);
}

void* allocateAligned(std::size_t bytes) {
    const std::size_t rounded = (bytes + 15) / 16 * 16;
    return std::aligned_alloc(16, rounded);
}

}  // namespace

void CRBFilterSSE2::AlignedFree::operator()(void* p) const { std::free(p); }

CRBFilterSSE2::CRBFilterSSE2() = default;

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
        stages[s].reset(static_cast<uint8_t*>(allocateAligned(pixels * kChannels)));
        if (!stages[s]) return release(), false;
    }
    rowBuffers.reset(static_cast<uint8_t*>(allocateAligned(static_cast<std::size_t>(tasks) * kRowsTogether *
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
    const int band = g.height / taskCount;
    auto* rows = reinterpret_cast<float*>(rowBuffers.get());
    for (int i = 0; i < taskCount; ++i) {
        const int first = i * band;
        const int end = i == taskCount - 1 ? g.height : first + band;
        float* buffer = rows + static_cast<std::size_t>(i) * kRowsTogether * maxWidth * kRowFloatsPerPixel;
        launch(horizontalTasks[i], [=] { horizontalRows(in, stage, g, first, end, buffer); });
    }
}

void CRBFilterSSE2::startVertical(const uint8_t* stage, uint8_t* out, const Geometry& g) {
    const auto starts = verticalBandStarts(g.width, taskCount);
    auto* columns = reinterpret_cast<float*>(columnBuffers.get());
    for (int i = 0; i < taskCount; ++i) {
        if (starts[i] == starts[i + 1]) continue;
        launch(verticalTasks[i], [=] { verticalBand(stage, out, g, starts[i], starts[i + 1], columns); });
    }
}

// Per pixel x a row's buffer holds the weight between x and x + 1, gain x input and the
// right-to-left result, each in four lanes. The recursions of `Rows` rows advance side by side:
// each step waits for the previous one of its own row only, so two rows keep the arithmetic
// units busy where one leaves them waiting.
template <int Rows>
void CRBFilterSSE2::sweepRows(const uint8_t* const* src, uint8_t* const* dst, int w, float* buffer) const {
    const __m128 gainLanes = _mm_set1_ps(gain);
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 one = _mm_set1_ps(1.0f);
    float* cells[Rows];
    for (int r = 0; r < Rows; ++r) {
        cells[r] = buffer + static_cast<std::size_t>(r) * maxWidth * kRowFloatsPerPixel;
        int x = 0;
        for (int32_t d[4]; x + 4 < w; x += 4) {
            rangeDistances4(src[r] + kChannels * x, src[r] + kChannels * (x + 1), d);
            for (int j = 0; j < 4; ++j)
                _mm_store_ps(cells[r] + (x + j) * kRowFloatsPerPixel, _mm_set1_ps(rangeTable[d[j]]));
        }
        for (; x + 1 < w; ++x) {
            const float weight = rangeTable[rangeDistance(src[r] + kChannels * x, src[r] + kChannels * (x + 1))];
            _mm_store_ps(cells[r] + x * kRowFloatsPerPixel, _mm_set1_ps(weight));
        }
    }

    // Right to left.
    __m128 acc[Rows], norm[Rows];
    for (int r = 0; r < Rows; ++r) {
        acc[r] = loadPixel(src[r] + kChannels * (w - 1));
        norm[r] = one;
        float* cell = cells[r] + (w - 1) * kRowFloatsPerPixel;
        _mm_store_ps(cell + 4, _mm_mul_ps(gainLanes, acc[r]));
        _mm_store_ps(cell + 8, acc[r]);
    }
    for (int x = w - 2; x >= 0; --x) {
        for (int r = 0; r < Rows; ++r) {
            float* cell = cells[r] + x * kRowFloatsPerPixel;
            const __m128 weighted = _mm_mul_ps(gainLanes, loadPixel(src[r] + kChannels * x));
            _mm_store_ps(cell + 4, weighted);
            _mm_store_ps(cell + 8, recurse(_mm_load_ps(cell), weighted, gainLanes, acc[r], norm[r]));
        }
    }

    // Left to right, averaged with the right-to-left result. The first pixel is rounded like
    // the others: truncating it would darken the first column of even a flat picture.
    for (int r = 0; r < Rows; ++r) {
        acc[r] = _mm_load_ps(cells[r] + 8);
        norm[r] = one;
        storePixel(dst[r], _mm_cvtps_epi32(_mm_mul_ps(half, _mm_add_ps(loadPixel(src[r]), acc[r]))));
    }
    for (int x = 1; x < w; ++x) {
        for (int r = 0; r < Rows; ++r) {
            const float* cell = cells[r] + x * kRowFloatsPerPixel;
            const __m128 causal =
                recurse(_mm_load_ps(cell - kRowFloatsPerPixel), _mm_load_ps(cell + 4), gainLanes, acc[r], norm[r]);
            storePixel(dst[r] + kChannels * x,
                       _mm_cvtps_epi32(_mm_mul_ps(half, _mm_add_ps(causal, _mm_load_ps(cell + 8)))));
        }
    }
}

void CRBFilterSSE2::horizontalRows(const uint8_t* in, uint8_t* stage, const Geometry& g, int firstRow, int endRow,
                                   float* buffer) const {
    const std::size_t stageStride = static_cast<std::size_t>(maxWidth) * kChannels;
    const auto input = [&](int y) { return in + static_cast<std::ptrdiff_t>(y) * g.stride; };
    const auto output = [&](int y) { return stage + y * stageStride; };
    int y = firstRow;
    for (; y + 1 < endRow; y += 2) {
        const uint8_t* src[2] = {input(y), input(y + 1)};
        uint8_t* dst[2] = {output(y), output(y + 1)};
        sweepRows<2>(src, dst, g.width, buffer);
    }
    if (y < endRow) {
        const uint8_t* src[1] = {input(y)};
        uint8_t* dst[1] = {output(y)};
        sweepRows<1>(src, dst, g.width, buffer);
    }
}

// Walks the band row by row, keeping each column's accumulator and normaliser in the column
// buffer, so that memory is read and written in row order.
void CRBFilterSSE2::verticalBand(const uint8_t* stage, uint8_t* out, const Geometry& g, int firstColumn, int endColumn,
                                 float* columnBuffer) const {
    const __m128 gainLanes = _mm_set1_ps(gain);
    const __m128 one = _mm_set1_ps(1.0f);
    const std::size_t stageStride = static_cast<std::size_t>(maxWidth) * kChannels;
    const auto stageRow = [&](int y) { return stage + y * stageStride + kChannels * firstColumn; };
    const auto outRow = [&](int y) {
        return out + static_cast<std::ptrdiff_t>(y) * g.stride + kChannels * firstColumn;
    };
    const int columns = endColumn - firstColumn;
    const int groups = columns & ~3;
    float* cells = columnBuffer + static_cast<std::size_t>(firstColumn) * kColumnFloatsPerPixel;

    // One recursion step for the pixel in `column` of `row`; `weight` links it to the previous row.
    const auto step = [&](const uint8_t* row, int column, float weight) {
        float* cell = cells + column * kColumnFloatsPerPixel;
        __m128 acc = _mm_load_ps(cell), norm = _mm_load_ps(cell + 4);
        const __m128 value = recurse(_mm_set1_ps(weight), _mm_mul_ps(gainLanes, loadPixel(row + kChannels * column)),
                                     gainLanes, acc, norm);
        _mm_store_ps(cell, acc);
        _mm_store_ps(cell + 4, norm);
        return _mm_cvtps_epi32(value);
    };
    const auto start = [&](const uint8_t* row) {
        for (int c = 0; c < columns; ++c) {
            _mm_store_ps(cells + c * kColumnFloatsPerPixel, loadPixel(row + kChannels * c));
            _mm_store_ps(cells + c * kColumnFloatsPerPixel + 4, one);
        }
    };
    // Runs one sweep over `row` (linked to `neighbour`) and hands each group of four results, or
    // each single result of the band's last columns, to `put`.
    const auto sweepRow = [&](const uint8_t* row, const uint8_t* neighbour, auto put4, auto put1) {
        int c = 0;
        for (int32_t d[4]; c < groups; c += 4) {
            rangeDistances4(row + kChannels * c, neighbour + kChannels * c, d);
            const __m128i p0 = step(row, c, rangeTable[d[0]]), p1 = step(row, c + 1, rangeTable[d[1]]);
            const __m128i p2 = step(row, c + 2, rangeTable[d[2]]), p3 = step(row, c + 3, rangeTable[d[3]]);
            put4(c, packPixels(p0, p1, p2, p3));
        }
        for (; c < columns; ++c) {
            put1(c, step(row, c, rangeTable[rangeDistance(row + kChannels * c, neighbour + kChannels * c)]));
        }
    };

    // Bottom to top: the last row is copied, every other row takes the recursion's result.
    const int h = g.height;
    std::memcpy(outRow(h - 1), stageRow(h - 1), static_cast<std::size_t>(columns) * kChannels);
    start(stageRow(h - 1));
    for (int y = h - 2; y >= 0; --y) {
        uint8_t* o = outRow(y);
        sweepRow(
            stageRow(y), stageRow(y + 1),
            [&](int c, __m128i pixels) { _mm_storeu_si128(reinterpret_cast<__m128i*>(o + kChannels * c), pixels); },
            [&](int c, __m128i pixel) { storePixel(o + kChannels * c, pixel); });
    }

    // The first row averages the bottom-to-top result with the stage row, rounding down.
    uint8_t* o = outRow(0);
    const uint8_t* t = stageRow(0);
    for (int i = 0; i < columns * kChannels; ++i) o[i] = static_cast<uint8_t>((o[i] + t[i]) / 2);

    // Top to bottom: each row's result is averaged with the bottom-to-top one, rounding up.
    start(stageRow(0));
    for (int y = 1; y < h; ++y) {
        uint8_t* o = outRow(y);
        sweepRow(
            stageRow(y), stageRow(y - 1),
            [&](int c, __m128i pixels) {
                auto* p = reinterpret_cast<__m128i*>(o + kChannels * c);
                _mm_storeu_si128(p, _mm_avg_epu8(pixels, _mm_loadu_si128(p)));
            },
            [&](int c, __m128i pixel) {
                uint8_t down[4];
                storePixel(down, pixel);
                for (int k = 0; k < kChannels; ++k)
                    o[kChannels * c + k] = static_cast<uint8_t>((down[k] + o[kChannels * c + k] + 1) / 2);
            });
    }
}
