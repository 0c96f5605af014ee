#include "plugins/qorCommonFxPlugin/colour/LabColour.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace labColour {

int stripeCount(int64_t pixels) {
    const auto stripes = static_cast<int>((pixels + kPixelsPerStripe - 1) / kPixelsPerStripe);
    return stripes > 1 && stripes % 2 ? stripes + 1 : stripes;
}

void LabPlanes::Free::operator()(uint8_t* block) const { std::free(block); }

bool LabPlanes::allocate(int width, int height) {
    if (matches(width, height)) return true;
    block_.reset();
    width_ = height_ = stride_ = 0;
    if (width <= 0 || height <= 0) return false;
    const std::size_t stride = (static_cast<std::size_t>(width) * sizeof(float) + 15) / 16 * 16;
    const std::size_t bytes = stride * static_cast<std::size_t>(height) * 3;
    if (stride > static_cast<std::size_t>(INT32_MAX)) return false;
    block_.reset(static_cast<uint8_t*>(std::aligned_alloc(16, bytes)));
    if (!block_) return false;
    width_ = width;
    height_ = height;
    stride_ = static_cast<int>(stride);
    return true;
}

void bgrx2labf(const uint8_t* pixels, int32_t stride, float* l, float* alpha, float* beta, int32_t planeStride,
               int width, int rows, float floor, bool vectorised, tessel::SimdPath path) {
    for (int y = 0; y < rows; ++y) {
        const uint8_t* pixel = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        forEachPixel(width, vectorised, path, [&](auto lanes, int x) __attribute__((always_inline)) {
            using F = decltype(lanes);
            const Lab<F> lab = labOf(loadPixels<F>(pixel + 4 * x).colour, floor);
            storeLanes(l + x, lab.l);
            storeLanes(alpha + x, lab.alpha);
            storeLanes(beta + x, lab.beta);
        });
        l = byteOffset(l, planeStride);
        alpha = byteOffset(alpha, planeStride);
        beta = byteOffset(beta, planeStride);
    }
}

namespace {

// Four running float sums per quantity (a row is short enough for float), added up in double.
RowSums sumRow(const float* l, const float* alpha, const float* beta, int width) {
    const float* planes[3] = {l, alpha, beta};
    Floats sums[3] = {}, squares[3] = {}, crossed = {};
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        Floats values[3];
        for (int k = 0; k < 3; ++k) {
            values[k] = loadLanes<Floats>(planes[k] + x);
            sums[k] += values[k];
            squares[k] += values[k] * values[k];
        }
        crossed += values[1] * values[2];
    }
    RowSums row;
    for (int lane = 0; lane < 4; ++lane) {
        for (int k = 0; k < 3; ++k) {
            row.sum[k] += sums[k][lane];
            row.squares[k] += squares[k][lane];
        }
        row.alphaBeta += crossed[lane];
    }
    for (; x < width; ++x) {
        for (int k = 0; k < 3; ++k) {
            row.sum[k] += planes[k][x];
            row.squares[k] += static_cast<double>(planes[k][x]) * planes[k][x];
        }
        row.alphaBeta += static_cast<double>(alpha[x]) * beta[x];
    }
    return row;
}

LabStatistics statisticsOf(const std::vector<RowSums>& rows, double count) {
    RowSums total;
    for (const RowSums& row : rows) {
        for (int k = 0; k < 3; ++k) {
            total.sum[k] += row.sum[k];
            total.squares[k] += row.squares[k];
        }
        total.alphaBeta += row.alphaBeta;
    }
    LabStatistics statistics;
    for (int k = 0; k < 3; ++k) {
        statistics.mean[k] = total.sum[k] / count;
        statistics.deviation[k] = std::sqrt(std::max(total.squares[k] / count - statistics.mean[k] * statistics.mean[k], 0.0));
    }
    statistics.covariance = total.alphaBeta / count - statistics.mean[1] * statistics.mean[2];
    return statistics;
}

}  // namespace

void bgrx2labfParallelLoopBody::operator()(const cv::Range& rows) const {
    for (int y = rows.start; y < rows.end; ++y) {
        float* l = planes_.row(0, y);
        float* alpha = planes_.row(1, y);
        float* beta = planes_.row(2, y);
        bgrx2labf(picture_.row(y), picture_.stride, l, alpha, beta, planes_.stride(), picture_.width, 1, floor_,
                  vectorised_, path_);
        rowSums_[y] = sumRow(l, alpha, beta, picture_.width);
    }
}

LabStatistics convertToLab(const tessel::Frame& picture, const LabPlanes& planes, float floor, bool vectorised,
                           tessel::SimdPath path) {
    std::vector<RowSums> rowSums(static_cast<std::size_t>(picture.height));
    const bgrx2labfParallelLoopBody body(picture, planes, floor, vectorised, path, rowSums.data());
    const int stripes = stripeCount(static_cast<int64_t>(picture.width) * picture.height);
    if (stripes < 2) body(cv::Range(0, picture.height));
    else cv::parallel_for_(cv::Range(0, picture.height), body, stripes);
    return statisticsOf(rowSums, static_cast<double>(picture.width) * picture.height);
}

}  // namespace labColour
