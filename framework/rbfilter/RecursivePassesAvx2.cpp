// The passes with eight float lanes: two rows side by side in each vector of the horizontal
// pass, two adjacent columns in each vector of the vertical pass.

#include <immintrin.h>

#include "framework/rbfilter/RecursivePasses.h"

namespace rbfilter {
namespace {

constexpr int kRowsPerVector = 2;
constexpr int kCellFloats = kRowsPerVector * kRowFloatsPerPixel;
constexpr int kWeightChunk = 64;  // columns whose weights are looked up before their steps

// Pixel x of two rows, or two adjacent pixels, as eight float lanes.
QOR_TARGET_AVX2 inline __m256 loadPixels(const uint8_t* p0, const uint8_t* p1) {
    const __m128i bits = _mm_unpacklo_epi32(_mm_cvtsi32_si128(loadBits(p0)), _mm_cvtsi32_si128(loadBits(p1)));
    return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bits));
}

QOR_TARGET_AVX2 inline __m256 loadAdjacentPixels(const uint8_t* p) {
    return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// Pixel x of the two rows of vector v.
QOR_TARGET_AVX2 inline __m256 rowPixels(const uint8_t* const* src, int v, int x) {
    return loadPixels(src[2 * v] + kChannels * x, src[2 * v + 1] + kChannels * x);
}

// Eight integer lanes saturated to bytes, the low four to `p0`, the high four to `p1`.
QOR_TARGET_AVX2 inline void storePixels(uint8_t* p0, uint8_t* p1, __m256i lanes) {
    const __m256i words = _mm256_packs_epi32(lanes, lanes);
    const __m256i bytes = _mm256_packus_epi16(words, words);
    storeBits(p0, _mm256_extract_epi32(bytes, 0));
    storeBits(p1, _mm256_extract_epi32(bytes, 4));
}

// Two pairs of adjacent pixels saturated to 16 bytes.
QOR_TARGET_AVX2 inline __m128i packPixels(__m256i p01, __m256i p23) {
    const __m256i words = _mm256_packs_epi32(p01, p23);  // pixels 0 and 2, then 1 and 3
    const __m256i bytes = _mm256_packus_epi16(words, words);
    return _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 0, 4, 1, 5)));
}

QOR_TARGET_AVX2 inline __m256 recurse(__m256 w, __m256 weightedValue, __m256 gain, __m256& acc, __m256& norm) {
    acc = _mm256_add_ps(_mm256_mul_ps(w, acc), weightedValue);
    norm = _mm256_add_ps(_mm256_mul_ps(w, norm), gain);
    return _mm256_div_ps(acc, norm);
}

// The rows src[0 .. 2 x Vectors - 1], two per vector; the cell layout per pixel is that of the
// SSE2 sweep with every four lanes widened to eight.
template <int Vectors>
QOR_TARGET_AVX2 void sweepRows(const RowBand& band, const uint8_t* const* src, uint8_t* const* dst) {
    const int w = band.width;
    const __m256 gain = _mm256_set1_ps(band.gain);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 one = _mm256_set1_ps(1.0f);
    float* cells[Vectors];
    for (int v = 0; v < Vectors; ++v) {
        cells[v] = band.buffer + static_cast<std::size_t>(v) * band.bufferWidth * kCellFloats;
        for (int r = 0; r < kRowsPerVector; ++r)
            storeRowWeights(src[2 * v + r], w, band.rangeTable, cells[v] + 4 * r, kCellFloats);
    }

    // Right to left.
    __m256 acc[Vectors], norm[Vectors];
    for (int v = 0; v < Vectors; ++v) {
        acc[v] = rowPixels(src, v, w - 1);
        norm[v] = one;
        float* cell = cells[v] + (w - 1) * kCellFloats;
        _mm256_store_ps(cell + 8, _mm256_mul_ps(gain, acc[v]));
        _mm256_store_ps(cell + 16, acc[v]);
    }
    for (int x = w - 2; x >= 0; --x) {
        for (int v = 0; v < Vectors; ++v) {
            float* cell = cells[v] + x * kCellFloats;
            const __m256 weighted = _mm256_mul_ps(gain, rowPixels(src, v, x));
            _mm256_store_ps(cell + 8, weighted);
            _mm256_store_ps(cell + 16, recurse(_mm256_load_ps(cell), weighted, gain, acc[v], norm[v]));
        }
    }

    // Left to right, averaged with the right-to-left result.
    for (int v = 0; v < Vectors; ++v) {
        acc[v] = _mm256_load_ps(cells[v] + 16);
        norm[v] = one;
        storePixels(dst[2 * v], dst[2 * v + 1],
                    _mm256_cvtps_epi32(_mm256_mul_ps(half, _mm256_add_ps(rowPixels(src, v, 0), acc[v]))));
    }
    for (int x = 1; x < w; ++x) {
        for (int v = 0; v < Vectors; ++v) {
            const float* cell = cells[v] + x * kCellFloats;
            const __m256 causal =
                recurse(_mm256_load_ps(cell - kCellFloats), _mm256_load_ps(cell + 8), gain, acc[v], norm[v]);
            storePixels(dst[2 * v] + kChannels * x, dst[2 * v + 1] + kChannels * x,
                        _mm256_cvtps_epi32(_mm256_mul_ps(half, _mm256_add_ps(causal, _mm256_load_ps(cell + 16)))));
        }
    }
}

// Each pair of columns keeps its accumulators (eight lanes) and then its normalisers in its cells.
QOR_TARGET_AVX2 void startColumns(const ColumnBand& band, const uint8_t* row) {
    float* cells = band.cells;
    const int columns = band.endColumn - band.firstColumn;
    for (int c = 0; c < columns; c += 2) {
        _mm256_store_ps(cells + c * kColumnFloatsPerPixel, loadAdjacentPixels(row + kChannels * c));
        _mm256_store_ps(cells + c * kColumnFloatsPerPixel + 8, _mm256_set1_ps(1.0f));
    }
}

// One recursion step for the band's pixels of `row` (a multiple of 4), linked to `neighbour`.
// The results go to `out`, or are averaged with it, rounding up, when `Averaged`.
template <bool Averaged>
QOR_TARGET_AVX2 void sweepColumns(const ColumnBand& band, const uint8_t* row, const uint8_t* neighbour, uint8_t* out) {
    float* cells = band.cells;
    const int columns = band.endColumn - band.firstColumn;
    const __m256 gain = _mm256_set1_ps(band.gain);
    const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    float weights[kWeightChunk];
    for (int chunk = 0; chunk < columns; chunk += kWeightChunk) {
        const int end = std::min(columns, chunk + kWeightChunk);
        columnWeights(row + kChannels * chunk, neighbour + kChannels * chunk, end - chunk, band.rangeTable, weights);
        for (int c = chunk; c < end; c += 4) {
            const __m256 weights4 = _mm256_castps128_ps256(_mm_loadu_ps(weights + c - chunk));
            __m256i results[2];
            for (int k = 0; k < 2; ++k) {
                const int column = c + 2 * k;
                float* cell = cells + column * kColumnFloatsPerPixel;
                const __m256 w = _mm256_permutevar8x32_ps(weights4, _mm256_add_epi32(spread, _mm256_set1_epi32(2 * k)));
                __m256 acc = _mm256_load_ps(cell), norm = _mm256_load_ps(cell + 8);
                const __m256 value =
                    recurse(w, _mm256_mul_ps(gain, loadAdjacentPixels(row + kChannels * column)), gain, acc, norm);
                _mm256_store_ps(cell, acc);
                _mm256_store_ps(cell + 8, norm);
                results[k] = _mm256_cvtps_epi32(value);
            }
            auto* o = reinterpret_cast<__m128i*>(out + kChannels * c);
            const __m128i pixels = packPixels(results[0], results[1]);
            _mm_storeu_si128(o, Averaged ? _mm_avg_epu8(pixels, _mm_loadu_si128(o)) : pixels);
        }
    }
}

}  // namespace

QOR_TARGET_AVX2 void horizontalAvx2(const RowBand& band) {
    constexpr int kVectors = 2;
    constexpr int kRows = kVectors * kRowsPerVector;
    const auto input = [&](int y) { return band.in + static_cast<std::ptrdiff_t>(y) * band.inStride; };
    const auto output = [&](int y) { return band.stage + y * band.stageStride; };
    int y = band.firstRow;
    for (; y + kRows <= band.endRow; y += kRows) {
        const uint8_t* src[kRows];
        uint8_t* dst[kRows];
        for (int r = 0; r < kRows; ++r) src[r] = input(y + r), dst[r] = output(y + r);
        sweepRows<kVectors>(band, src, dst);
    }
    RowBand rest = band;
    rest.firstRow = y;
    horizontalSse2(rest);
}

void verticalAvx2(const ColumnBand& band) {
    verticalInGroups(band, {startColumns, sweepColumns<false>, sweepColumns<true>});
}

}  // namespace rbfilter
