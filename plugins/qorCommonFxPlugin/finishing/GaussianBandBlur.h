#pragma once
// Gaussian blur of one horizontal band of an 8-bit BGRA frame, as cv::GaussianBlur computes it
// for a band that is a region of a larger frame (reading the frame's rows beyond the band).
//
// For such regions OpenCV filters in float whenever the kernel's weights are not whole multiples
// of 1/256: a row pass of fused multiply-adds over the taps in order, then a column pass that adds
// the rows at equal distance above and below before each fused multiply-add, rounded to the
// nearest byte. The AVX2 and AVX-512 versions repeat exactly those operations, on tiles of the band
// that stay in cache; the baseline calls OpenCV itself, since it has no fused multiply-add.

#include <opencv2/core.hpp>

#include "framework/SimdDispatch.h"

namespace finishing {

// Narrower kernels run faster through OpenCV itself: the tiles' fixed costs (widening each tile's
// pixels and margins, rounding) outweigh the taps they save.
constexpr int kNarrowestTiledGaussian = 21;

// True when cv::GaussianBlur filters a band with a `kernelSize` x `kernelSize` kernel (sigma from
// the size) in float arithmetic, which gaussianBlurBand reproduces.
bool gaussianBandRunsInFloat(int kernelSize);

// Writes the rows `rows` of `out` as cv::GaussianBlur(in.rowRange(band), ..., kernel (size, size),
// sigma 0, BORDER_REFLECT_101) does for any band that is not the whole frame (the result does not
// depend on the band, which reads the frame's rows beyond it), so callers may split the rows as
// suits them. `in` (at least two rows) and `out` have one size and do not share memory.
using GaussianBandBlur = void (*)(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows);
GaussianBandBlur gaussianBandBlur(tessel::SimdPath path);

// True when cv::GaussianBlur filters a band with a `kernelSize` x `kernelSize` kernel in
// integers whose window sums, divided by their common factor, fit in 16 bits (3 and 5 taps):
// gaussianBandBlurInIntegers reproduces it.
bool gaussianBandFitsSixteenBits(int kernelSize);

// As GaussianBandBlur, for those kernels; `in` must be wider and taller than the kernel's radius.
// Every version, the baseline included, is this module's own.
GaussianBandBlur gaussianBandBlurInIntegers(tessel::SimdPath path);

}  // namespace finishing
