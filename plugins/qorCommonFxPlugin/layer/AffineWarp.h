#pragma once
// Bilinear affine warping with a transparent border, a band of output rows at a time, giving the
// same bytes as cv::warpAffine(..., INTER_LINEAR, BORDER_TRANSPARENT). Effects that warp and then
// composite draw a band into a small buffer and blend it while it is still in cache.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "framework/SimdDispatch.h"

// One output row to sample: output pixel x reads the source at the fixed-point position
// ((x0 + xSteps[x]) >> 5, (y0 + ySteps[x]) >> 5), in 1/32 pixels.
struct AffineRow {
    const uint8_t* source;
    std::ptrdiff_t sourceStride;
    int sourceWidth;
    int sourceHeight;
    const int* xSteps;
    const int* ySteps;
    int x0;
    int y0;
    uint8_t* out;
    int width;
};

// Writes the output pixels of `row` whose 2 x 2 source neighbourhood lies wholly inside the source
// (at least 2 x 2 pixels); the others keep their bytes.
using AffineRowKernel = void (*)(const AffineRow& row);

// The versions of the row kernel; all give the same bytes.
const tessel::SimdKernels<AffineRowKernel>& affineRowKernels();

// The sampling positions of one forward 2 x 3 matrix (source to output, CV_64F) over an output of
// `outputWidth` columns, in the fixed point cv::warpAffine uses.
class AffineSampling {
public:
    AffineSampling(const cv::Mat& forward, int outputWidth);

    // Draws output rows [firstRow, firstRow + band.rows) into `band` (CV_8UC4, the output's width)
    // from `source` (CV_8UC4) with `kernel`.
    void drawRows(const cv::Mat& source, cv::Mat& band, int firstRow,
                  AffineRowKernel kernel = affineRowKernels().chosen()) const;

private:
    double inverse_[6];
    std::vector<int> xSteps_;
    std::vector<int> ySteps_;
};

// True when the pixels of two non-empty matrices share any byte.
bool sharesMemory(const cv::Mat& a, const cv::Mat& b);

// cv::warpAffine(source, destination, forward, destination.size(), INTER_LINEAR,
// BORDER_TRANSPARENT) in bands of rows over OpenCV's pool. A source sharing memory with the
// destination is read from a copy.
void warpBilinearTransparent(const cv::Mat& source, cv::Mat& destination, const cv::Mat& forward);
