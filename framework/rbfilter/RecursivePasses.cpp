#include "framework/rbfilter/RecursivePasses.h"

namespace rbfilter {

const tessel::SimdKernels<HorizontalPass> kHorizontalPasses{horizontalSse2, horizontalAvx2, horizontalAvx512};
const tessel::SimdKernels<VerticalPass> kVerticalPasses{verticalSse2, verticalAvx2, verticalAvx512};

namespace {

constexpr int kSse2RowsTogether = 2;

// One BGRA pixel as four float lanes.
inline __m128 loadPixel(const uint8_t* p) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i words = _mm_unpacklo_epi8(_mm_cvtsi32_si128(loadBits(p)), zero);
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
}

// Four integer lanes saturated to bytes.
inline void storePixel(uint8_t* p, __m128i lanes) {
    const __m128i words = _mm_packs_epi32(lanes, lanes);
    storeBits(p, _mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

// Four pixels of integer lanes saturated to 16 bytes.
inline __m128i packPixels(__m128i p0, __m128i p1, __m128i p2, __m128i p3) {
    return _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
}

// One step of a recursion in four lanes: acc = w * acc + gain * value, norm = w * norm + gain;
// returns acc / norm.
inline __m128 recurse(__m128 w, __m128 weightedValue, __m128 gain, __m128& acc, __m128& norm) {
    acc = _mm_add_ps(_mm_mul_ps(w, acc), weightedValue);
    norm = _mm_add_ps(_mm_mul_ps(w, norm), gain);
    return _mm_div_ps(acc, norm);
}

// Per pixel x a row's cell holds the weight between x and x + 1, gain x input and the
// right-to-left result, each in four lanes. The recursions of `Rows` rows advance side by side:
// each step waits for the previous one of its own row only, so two rows keep the arithmetic
// units busy where one leaves them waiting.
template <int Rows>
void sweepRows(const RowBand& band, const uint8_t* const* src, uint8_t* const* dst) {
    const int w = band.width;
    const __m128 gainLanes = _mm_set1_ps(band.gain);
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 one = _mm_set1_ps(1.0f);
    float* cells[Rows];
    for (int r = 0; r < Rows; ++r) {
        cells[r] = band.buffer + static_cast<std::size_t>(r) * band.bufferWidth * kRowFloatsPerPixel;
        storeRowWeights(src[r], w, band.rangeTable, cells[r], kRowFloatsPerPixel);
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

}  // namespace

void horizontalSse2(const RowBand& band) {
    const auto input = [&](int y) { return band.in + static_cast<std::ptrdiff_t>(y) * band.inStride; };
    const auto output = [&](int y) { return band.stage + y * band.stageStride; };
    int y = band.firstRow;
    for (; y + kSse2RowsTogether <= band.endRow; y += kSse2RowsTogether) {
        const uint8_t* src[2] = {input(y), input(y + 1)};
        uint8_t* dst[2] = {output(y), output(y + 1)};
        sweepRows<2>(band, src, dst);
    }
    if (y < band.endRow) {
        const uint8_t* src[1] = {input(y)};
        uint8_t* dst[1] = {output(y)};
        sweepRows<1>(band, src, dst);
    }
}

// Walks the band row by row, keeping each column's accumulator and normaliser in its cell, so
// that memory is read and written in row order.
void verticalSse2(const ColumnBand& band) {
    const __m128 gainLanes = _mm_set1_ps(band.gain);
    const __m128 one = _mm_set1_ps(1.0f);
    const auto stageRow = [&](int y) { return band.stage + y * band.stageStride + kChannels * band.firstColumn; };
    const auto outRow = [&](int y) {
        return band.out + static_cast<std::ptrdiff_t>(y) * band.outStride + kChannels * band.firstColumn;
    };
    const int columns = band.endColumn - band.firstColumn;
    const int groups = columns & ~3;
    float* cells = band.cells;

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
            const __m128i p0 = step(row, c, band.rangeTable[d[0]]), p1 = step(row, c + 1, band.rangeTable[d[1]]);
            const __m128i p2 = step(row, c + 2, band.rangeTable[d[2]]), p3 = step(row, c + 3, band.rangeTable[d[3]]);
            put4(c, packPixels(p0, p1, p2, p3));
        }
        for (; c < columns; ++c) {
            put1(c, step(row, c, band.rangeTable[rangeDistance(row + kChannels * c, neighbour + kChannels * c)]));
        }
    };

    // Bottom to top: the last row is copied, every other row takes the recursion's result.
    const int h = band.height;
    std::memcpy(outRow(h - 1), stageRow(h - 1), static_cast<std::size_t>(columns) * kChannels);
    start(stageRow(h - 1));
    for (int y = h - 2; y >= 0; --y) {
        uint8_t* o = outRow(y);
        sweepRow(
            stageRow(y), stageRow(y + 1),
            [&](int c, __m128i pixels) { _mm_storeu_si128(reinterpret_cast<__m128i*>(o + kChannels * c), pixels); },
            [&](int c, __m128i pixel) { storePixel(o + kChannels * c, pixel); });
    }

    averageFirstRow(band);

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

void verticalInGroups(const ColumnBand& band, const ColumnSteps& steps) {
    const int h = band.height;
    ColumnBand grouped = band;
    grouped.endColumn = band.firstColumn + ((band.endColumn - band.firstColumn) & ~3);
    const int columns = grouped.endColumn - grouped.firstColumn;
    const auto stageRow = [&](int y) { return band.stage + y * band.stageStride + kChannels * band.firstColumn; };
    const auto outRow = [&](int y) {
        return band.out + static_cast<std::ptrdiff_t>(y) * band.outStride + kChannels * band.firstColumn;
    };
    // Bottom to top: the last row is copied, every other row takes the recursion's result.
    std::memcpy(outRow(h - 1), stageRow(h - 1), static_cast<std::size_t>(columns) * kChannels);
    steps.start(grouped, stageRow(h - 1));
    for (int y = h - 2; y >= 0; --y) steps.down(grouped, stageRow(y), stageRow(y + 1), outRow(y));
    averageFirstRow(grouped);
    // Top to bottom, averaged with the bottom-to-top result.
    steps.start(grouped, stageRow(0));
    for (int y = 1; y < h; ++y) steps.up(grouped, stageRow(y), stageRow(y - 1), outRow(y));

    if (grouped.endColumn < band.endColumn) {
        ColumnBand rest = band;
        rest.firstColumn = grouped.endColumn;
        rest.cells = band.cells + static_cast<std::size_t>(columns) * kColumnFloatsPerPixel;
        verticalSse2(rest);
    }
}

}  // namespace rbfilter
