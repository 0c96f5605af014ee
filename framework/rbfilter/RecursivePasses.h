#pragma once
// The two passes of the recursive bilateral filter over one task's share of an image, in one
// version per instruction-set path. Every version applies the same single-precision operations
// in the same order to each pixel and channel, so all give the same bytes; the wider ones only
// advance more recursions per instruction: several rows side by side in the horizontal pass,
// several adjacent columns in the vertical one.

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/SimdDispatch.h"

namespace rbfilter {

constexpr int kChannels = 4;
constexpr int kRowFloatsPerPixel = 12;    // weight, gain x input and right-to-left result, 4 lanes each
// Rows of kRowFloatsPerPixel cells a task's row buffer holds; the AVX-512 horizontal sweep keeps
// fewer floats per pixel and fits eight rows in it.
constexpr int kBufferedRows = 4;
constexpr int kColumnFloatsPerPixel = 8;  // accumulator and normaliser, 4 lanes each

// Rows firstRow..endRow - 1 of the horizontal pass: `in` rows to `stage` rows.
struct RowBand {
    const uint8_t* in;
    std::ptrdiff_t inStride;
    uint8_t* stage;
    std::size_t stageStride;
    int width, firstRow, endRow;
    float* buffer;  // kBufferedRows x bufferWidth x kRowFloatsPerPixel floats, 64-byte aligned
    int bufferWidth;
    float gain;
    const float* rangeTable;
};

// Columns firstColumn..endColumn - 1 of the vertical pass: `stage` columns to `out` columns.
struct ColumnBand {
    const uint8_t* stage;
    std::size_t stageStride;
    uint8_t* out;
    std::ptrdiff_t outStride;
    int height, firstColumn, endColumn;
    float* cells;  // kColumnFloatsPerPixel floats per column of the band, 64-byte aligned
    float gain;
    const float* rangeTable;
};

using HorizontalPass = void (*)(const RowBand&);
using VerticalPass = void (*)(const ColumnBand&);

extern const tessel::SimdKernels<HorizontalPass> kHorizontalPasses;
extern const tessel::SimdKernels<VerticalPass> kVerticalPasses;

void horizontalSse2(const RowBand& band);
void verticalSse2(const ColumnBand& band);
void horizontalAvx2(const RowBand& band);
void verticalAvx2(const ColumnBand& band);
void horizontalAvx512(const RowBand& band);
void verticalAvx512(const ColumnBand& band);

// The steps of a wider vertical pass over a band whose width is a multiple of 4: setting up each
// column's recursion from a row, and advancing it by one row, writing the results (`down`) or
// averaging them with what is there, rounding up (`up`).
struct ColumnSteps {
    void (*start)(const ColumnBand& band, const uint8_t* row);
    void (*down)(const ColumnBand& band, const uint8_t* row, const uint8_t* neighbour, uint8_t* out);
    void (*up)(const ColumnBand& band, const uint8_t* row, const uint8_t* neighbour, uint8_t* out);
};

// The vertical pass with `steps` over the band's whole groups of four columns, row by row so
// that memory is read and written in row order; the band's last one to three columns go through
// the SSE2 pass.
void verticalInGroups(const ColumnBand& band, const ColumnSteps& steps);

// Building blocks shared by the versions.

inline int32_t loadBits(const uint8_t* p) {
    int32_t bits;
    std::memcpy(&bits, p, sizeof bits);
    return bits;
}

inline void storeBits(uint8_t* p, int32_t bits) { std::memcpy(p, &bits, sizeof bits); }

// Range distance of two pixels: the largest absolute difference of blue, green and red.
inline int rangeDistance(const uint8_t* p, const uint8_t* q) {
    int d = 0;
    for (int k = 0; k < 3; ++k) d = std::max(d, std::abs(p[k] - q[k]));
    return d;
}

// Range distances of four pixel pairs at once, one per 32-bit lane.
inline __m128i rangeDistances4(const uint8_t* p, const uint8_t* q) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i diff =
        _mm_and_si128(_mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a)), _mm_set1_epi32(0x00FFFFFF));
    const __m128i m = _mm_max_epu8(_mm_max_epu8(diff, _mm_srli_epi32(diff, 8)), _mm_srli_epi32(diff, 16));
    return _mm_and_si128(m, _mm_set1_epi32(0xFF));
}

inline void rangeDistances4(const uint8_t* p, const uint8_t* q, int32_t d[4]) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), rangeDistances4(p, q));
}

// Stores the weight between pixel x and x + 1 of a row, for x = 0 .. width - 2, in the four
// lanes at firstCell + x * cellFloats (16-byte aligned).
inline void storeRowWeights(const uint8_t* row, int width, const float* rangeTable, float* firstCell,
                            int cellFloats) {
    int x = 0;
    for (int32_t d[4]; x + 4 < width; x += 4) {
        rangeDistances4(row + kChannels * x, row + kChannels * (x + 1), d);
        for (int j = 0; j < 4; ++j) _mm_store_ps(firstCell + (x + j) * cellFloats, _mm_set1_ps(rangeTable[d[j]]));
    }
    for (; x + 1 < width; ++x) {
        const float weight = rangeTable[rangeDistance(row + kChannels * x, row + kChannels * (x + 1))];
        _mm_store_ps(firstCell + x * cellFloats, _mm_set1_ps(weight));
    }
}

// Weights between pixel x and x + 1 of a row, for x = 0 .. width - 2, at weights[x * step].
inline void rowWeights(const uint8_t* row, int width, const float* rangeTable, float* weights, int step) {
    int x = 0;
    for (int32_t d[4]; x + 4 < width; x += 4) {
        rangeDistances4(row + kChannels * x, row + kChannels * (x + 1), d);
        for (int j = 0; j < 4; ++j) weights[(x + j) * step] = rangeTable[d[j]];
    }
    for (; x + 1 < width; ++x)
        weights[x * step] = rangeTable[rangeDistance(row + kChannels * x, row + kChannels * (x + 1))];
}

// Weights between the pixels of two rows, column by column.
inline void columnWeights(const uint8_t* row, const uint8_t* neighbour, int columns, const float* rangeTable,
                          float* weights) {
    int c = 0;
    for (int32_t d[4]; c + 4 <= columns; c += 4) {
        rangeDistances4(row + kChannels * c, neighbour + kChannels * c, d);
        for (int j = 0; j < 4; ++j) weights[c + j] = rangeTable[d[j]];
    }
    for (; c < columns; ++c) weights[c] = rangeTable[rangeDistance(row + kChannels * c, neighbour + kChannels * c)];
}

// The first row of the vertical pass averages the bottom-to-top result with the stage row,
// rounding down.
inline void averageFirstRow(const ColumnBand& band) {
    uint8_t* o = band.out + kChannels * band.firstColumn;
    const uint8_t* t = band.stage + kChannels * band.firstColumn;
    for (int i = 0; i < (band.endColumn - band.firstColumn) * kChannels; ++i)
        o[i] = static_cast<uint8_t>((o[i] + t[i]) / 2);
}

}  // namespace rbfilter
