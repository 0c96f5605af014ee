// The passes with sixteen float lanes: four rows side by side in each vector of the horizontal
// pass, four adjacent columns in each vector of the vertical pass.

#include <immintrin.h>

// GCC 12 takes the deliberately undefined pass-through operand of its AVX-512 intrinsics for an
// uninitialised variable.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "framework/rbfilter/RecursivePasses.h"

namespace rbfilter {
namespace {

constexpr int kRowsPerVector = 4;
constexpr int kWeightChunk = 64;  // columns whose weights are looked up before their steps

// Pixel x of four rows as sixteen float lanes.
QOR_TARGET_AVX512 inline __m512 rowPixels(const uint8_t* const* rows, int x) {
    const __m128i bits = _mm_setr_epi32(loadBits(rows[0] + kChannels * x), loadBits(rows[1] + kChannels * x),
                                        loadBits(rows[2] + kChannels * x), loadBits(rows[3] + kChannels * x));
    return _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(bits));
}

QOR_TARGET_AVX512 inline __m512 loadAdjacentPixels(const uint8_t* p) {
    return _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
}

// Sixteen integer lanes held to 0..255, as the SSE2 signed and unsigned saturating packs do.
QOR_TARGET_AVX512 inline __m128i saturatedBytes(__m512i lanes) {
    return _mm512_cvtusepi32_epi8(_mm512_max_epi32(lanes, _mm512_setzero_si512()));
}

// Sixteen integer lanes saturated to bytes, as pixel x of four rows.
QOR_TARGET_AVX512 inline void storeRowPixels(uint8_t* const* rows, int x, __m512i lanes) {
    const __m128i bytes = saturatedBytes(lanes);
    storeBits(rows[0] + kChannels * x, _mm_cvtsi128_si32(bytes));
    storeBits(rows[1] + kChannels * x, _mm_extract_epi32(bytes, 1));
    storeBits(rows[2] + kChannels * x, _mm_extract_epi32(bytes, 2));
    storeBits(rows[3] + kChannels * x, _mm_extract_epi32(bytes, 3));
}

// Four weights, each in the four lanes of its pixel.
QOR_TARGET_AVX512 inline __m512 spreadWeights(__m512i spread, const float* weights) {
    return _mm512_permutexvar_ps(spread, _mm512_castps128_ps512(_mm_loadu_ps(weights)));
}

QOR_TARGET_AVX512 inline __m512 recurse(__m512 w, __m512 weightedValue, __m512 gain, __m512& acc, __m512& norm) {
    acc = _mm512_add_ps(_mm512_mul_ps(w, acc), weightedValue);
    norm = _mm512_add_ps(_mm512_mul_ps(w, norm), gain);
    return _mm512_div_ps(acc, norm);
}

// Four rows side by side in each of `Vectors` vectors. Per pixel x the buffer keeps the rows'
// right-to-left results (sixteen lanes a vector), and apart from them their weights between x and
// x + 1; gain x input is worked out again when needed, which keeps the buffer small enough for
// the processor's second-level cache. Each step waits for the previous one of its own vector
// only: with two vectors, one's multiplications and additions fill the time the other's wait for
// their results.
template <int Vectors>
QOR_TARGET_AVX512 void sweepRows(const RowBand& band, const uint8_t* const* src, uint8_t* const* dst) {
    const int w = band.width;
    const __m512 gain = _mm512_set1_ps(band.gain);
    const __m512 half = _mm512_set1_ps(0.5f);
    const __m512i spread = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    const std::size_t weightFloats = static_cast<std::size_t>(band.bufferWidth) * kRowsPerVector;
    float* results = band.buffer;  // pixel x of vector v at (x * Vectors + v) * 16
    float* weights[Vectors];
    for (int v = 0; v < Vectors; ++v) {
        weights[v] = results + weightFloats * 4 * Vectors + v * weightFloats;
        for (int r = 0; r < kRowsPerVector; ++r)
            rowWeights(src[kRowsPerVector * v + r], w, band.rangeTable, weights[v] + r, kRowsPerVector);
    }
    const auto cell = [&](int x, int v) { return results + (x * Vectors + v) * 16; };

    // Right to left.
    __m512 acc[Vectors], norm[Vectors];
    for (int v = 0; v < Vectors; ++v) {
        acc[v] = rowPixels(src + kRowsPerVector * v, w - 1);
        norm[v] = _mm512_set1_ps(1.0f);
        _mm512_store_ps(cell(w - 1, v), acc[v]);
    }
    for (int x = w - 2; x >= 0; --x) {
        for (int v = 0; v < Vectors; ++v) {
            const __m512 weighted = _mm512_mul_ps(gain, rowPixels(src + kRowsPerVector * v, x));
            const __m512 weight = spreadWeights(spread, weights[v] + x * kRowsPerVector);
            _mm512_store_ps(cell(x, v), recurse(weight, weighted, gain, acc[v], norm[v]));
        }
    }

    // Left to right, averaged with the right-to-left result.
    for (int v = 0; v < Vectors; ++v) {
        acc[v] = _mm512_load_ps(cell(0, v));
        norm[v] = _mm512_set1_ps(1.0f);
        const __m512 first = _mm512_add_ps(rowPixels(src + kRowsPerVector * v, 0), acc[v]);
        storeRowPixels(dst + kRowsPerVector * v, 0, _mm512_cvtps_epi32(_mm512_mul_ps(half, first)));
    }
    for (int x = 1; x < w; ++x) {
        for (int v = 0; v < Vectors; ++v) {
            const __m512 weighted = _mm512_mul_ps(gain, rowPixels(src + kRowsPerVector * v, x));
            const __m512 weight = spreadWeights(spread, weights[v] + (x - 1) * kRowsPerVector);
            const __m512 causal = recurse(weight, weighted, gain, acc[v], norm[v]);
            const __m512 average = _mm512_mul_ps(half, _mm512_add_ps(causal, _mm512_load_ps(cell(x, v))));
            storeRowPixels(dst + kRowsPerVector * v, x, _mm512_cvtps_epi32(average));
        }
    }
}

// Each group of four columns keeps its accumulators (sixteen lanes) and then its normalisers in
// its cells.
QOR_TARGET_AVX512 void startColumns(const ColumnBand& band, const uint8_t* row) {
    float* cells = band.cells;
    const int columns = band.endColumn - band.firstColumn;
    for (int c = 0; c < columns; c += 4) {
        _mm512_store_ps(cells + c * kColumnFloatsPerPixel, loadAdjacentPixels(row + kChannels * c));
        _mm512_store_ps(cells + c * kColumnFloatsPerPixel + 16, _mm512_set1_ps(1.0f));
    }
}

// One recursion step for the band's pixels of `row` (a multiple of 4), linked to `neighbour`.
// The results go to `out`, or are averaged with it, rounding up, when `Averaged`.
template <bool Averaged>
QOR_TARGET_AVX512 void sweepColumns(const ColumnBand& band, const uint8_t* row, const uint8_t* neighbour,
                                    uint8_t* out) {
    float* cells = band.cells;
    const int columns = band.endColumn - band.firstColumn;
    const __m512 gain = _mm512_set1_ps(band.gain);
    const __m512i spread = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    float weights[kWeightChunk];
    for (int chunk = 0; chunk < columns; chunk += kWeightChunk) {
        const int end = std::min(columns, chunk + kWeightChunk);
        columnWeights(row + kChannels * chunk, neighbour + kChannels * chunk, end - chunk, band.rangeTable, weights);
        for (int c = chunk; c < end; c += 4) {
            float* cell = cells + c * kColumnFloatsPerPixel;
            const __m512 w = spreadWeights(spread, weights + c - chunk);
            __m512 acc = _mm512_load_ps(cell), norm = _mm512_load_ps(cell + 16);
            const __m512 value =
                recurse(w, _mm512_mul_ps(gain, loadAdjacentPixels(row + kChannels * c)), gain, acc, norm);
            _mm512_store_ps(cell, acc);
            _mm512_store_ps(cell + 16, norm);
            auto* o = reinterpret_cast<__m128i*>(out + kChannels * c);
            const __m128i pixels = saturatedBytes(_mm512_cvtps_epi32(value));
            _mm_storeu_si128(o, Averaged ? _mm_avg_epu8(pixels, _mm_loadu_si128(o)) : pixels);
        }
    }
}

}  // namespace

// Eight rows at a time, then four, then the SSE2 sweep for what is left.
QOR_TARGET_AVX512 void horizontalAvx512(const RowBand& band) {
    constexpr int kMostRows = 2 * kRowsPerVector;
    const uint8_t* src[kMostRows];
    uint8_t* dst[kMostRows];
    const auto gather = [&](int y, int rows) {
        for (int r = 0; r < rows; ++r) {
            src[r] = band.in + static_cast<std::ptrdiff_t>(y + r) * band.inStride;
            dst[r] = band.stage + (y + r) * band.stageStride;
        }
    };
    int y = band.firstRow;
    for (; y + kMostRows <= band.endRow; y += kMostRows) {
        gather(y, kMostRows);
        sweepRows<2>(band, src, dst);
    }
    if (y + kRowsPerVector <= band.endRow) {
        gather(y, kRowsPerVector);
        sweepRows<1>(band, src, dst);
        y += kRowsPerVector;
    }
    RowBand rest = band;
    rest.firstRow = y;
    horizontalSse2(rest);
}

void verticalAvx512(const ColumnBand& band) {
    verticalInGroups(band, {startColumns, sweepColumns<false>, sweepColumns<true>});
}

}  // namespace rbfilter
