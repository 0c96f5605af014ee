#pragma once
// Normalised box blurs of an 8-bit BGRA frame run one after another, band by band.
//
// Each box reads its whole input with BORDER_REFLECT_101 and rounds its mean to the nearest byte
// between boxes, exactly as a chain of cv::boxFilter calls does. Instead of three passes over the
// frame, every band of rows runs all boxes while its rows are in cache, and recomputes the few rows
// a band shares with its neighbours. Narrow boxes (up to kWidestNarrowBox) sum each output row's
// window column by column, then along the row, in 16 bits; wider ones keep running column sums of
// horizontal window sums over a ring of rows.

#include <vector>

#include <opencv2/core.hpp>

#include "framework/SimdDispatch.h"

namespace finishing {

// Widest box the banded chain takes: up to it the float rounding of a window mean is exact (sums
// have no ties and float keeps enough bits), which is also what cv::boxFilter computes.
constexpr int kWidestChainedBox = 163;

// Blurs `in` into `out` (same size, CV_8UC4, distinct memory) with the odd box widths `sizes` in
// order. A width of 1 leaves its input as it is. Boxes wider than kWidestChainedBox or than the
// frame reflects once are run by cv::boxFilter, pass after pass, with the same result.
void chainedBoxBlur(const cv::Mat& in, cv::Mat& out, const std::vector<int>& sizes);

// The per-row steps, one version per instruction set, exposed for the dispatch tests.
struct BoxRowKernels {
    // sums[i] = sum of padded[i + 4t] for t in 0..size-1 (one window per channel).
    using WindowSums = void (*)(const uint16_t* padded, uint16_t* sums, int count, int size);
    // Adds `entering` to the column sums, writes each sum's rounded mean (sum * scale) and
    // subtracts `leaving`, ready for the next row.
    using ColumnStep = void (*)(int32_t* columnSums, const uint16_t* entering, const uint16_t* leaving,
                                uint8_t* out, int count, float scale);
    WindowSums windowSums;
    ColumnStep columnStep;
};
BoxRowKernels boxRowKernels(tessel::SimdPath path);

// Boxes up to this width keep every window sum in 16 bits (255 * 15 * 15 plus the rounding term is
// below 2^16): they sum columns first, then rows, and divide by a multiply.
constexpr int kWidestNarrowBox = 15;

// The rounded mean of a window sum s of a box this wide, as the float product rounds it:
// (((s + bias) * multiplier) >> 16) >> shift, exact for every sum the box can reach.
struct NarrowBoxDivisor {
    uint16_t bias, multiplier;
    int shift;
};
NarrowBoxDivisor narrowBoxDivisor(int size);

struct NarrowBoxKernels {
    // sums[i] = sum of rows[k][i] for k in 0..size-1.
    using ColumnSums = void (*)(const uint8_t* const* rows, int size, uint16_t* sums, int count);
    // out[i] = the rounded mean of the sum of padded[i + 4t] for t in 0..size-1.
    using RoundedMeans = void (*)(const uint16_t* padded, uint8_t* out, int count, int size, NarrowBoxDivisor divisor);
    ColumnSums columnSums;
    RoundedMeans roundedMeans;
};
NarrowBoxKernels narrowBoxKernels(tessel::SimdPath path);

}  // namespace finishing
