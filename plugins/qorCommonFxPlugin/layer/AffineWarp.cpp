#include "plugins/qorCommonFxPlugin/layer/AffineWarp.h"

#include <immintrin.h>

#include <algorithm>
#include <limits>

#include "framework/Stripes.h"

namespace {

// cv::warpAffine's fixed point: positions in 1/1024 pixels, rounded down to 1/32 pixels.
constexpr int kPositionBits = 10;
constexpr double kPositionScale = 1 << kPositionBits;
constexpr int kFractionBits = 5;
constexpr int kFractions = 1 << kFractionBits;
constexpr int kRoundToFraction = (1 << kPositionBits) / kFractions / 2;
// Bilinear weights are products of two fractions: they sum to 1 << kWeightBits.
constexpr int kWeightBits = 2 * kFractionBits;
constexpr int kWeightHalf = 1 << (kWeightBits - 1);
constexpr int kChannels = 4;
// Output rows per task of warpBilinearTransparent: enough for a tile's rows to share the source
// lines they read (see kTileWidth).
constexpr int kWarpBandRows = 64;
// A band is drawn in column tiles of this many pixels, row by row within a tile: a turned row
// crosses hundreds of source rows, each on pages of its own, and the rows of one tile revisit the
// same source lines and pages while they are still at hand. (Whole rows measured 30% slower at
// 3840 x 2160, and bands of 8 rows about 40% slower at 1920 x 1080.)
constexpr int kTileWidth = 256;

int wrappingAdd(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }

// Whole source pixel of a position, held to the 16-bit range as cv::warpAffine's map is.
int wholePixel(int position) {
    return std::clamp(position >> kFractionBits, static_cast<int>(std::numeric_limits<int16_t>::min()),
                      static_cast<int>(std::numeric_limits<int16_t>::max()));
}

// Pixels [from, row.width) one at a time. cv::remap weighs the four neighbours with 32 times our
// weights (32 - tx) * (32 - ty) ... in 15-bit fixed point, so rounding our 10-bit sum gives its
// result exactly. The row comes by
// value: byte stores could otherwise change a referenced row's fields, which the compiler would
// then read again for every pixel.
void warpPixels(const AffineRow row, int from) {
    for (int x = from; x < row.width; ++x) {
        const int X = wrappingAdd(row.x0, row.xSteps[x]) >> (kPositionBits - kFractionBits);
        const int Y = wrappingAdd(row.y0, row.ySteps[x]) >> (kPositionBits - kFractionBits);
        const int sx = wholePixel(X), sy = wholePixel(Y);
        if (static_cast<unsigned>(sx) >= static_cast<unsigned>(row.sourceWidth - 1) ||
            static_cast<unsigned>(sy) >= static_cast<unsigned>(row.sourceHeight - 1))
            continue;
        const int tx = X & (kFractions - 1), ty = Y & (kFractions - 1);
        const uint8_t* top = row.source + sy * row.sourceStride + sx * kChannels;
        const uint8_t* bottom = top + row.sourceStride;
        uint8_t* d = row.out + x * kChannels;
        for (int k = 0; k < kChannels; ++k) {
            const int upper = top[k] * (kFractions - tx) + top[k + kChannels] * tx;
            const int lower = bottom[k] * (kFractions - tx) + bottom[k + kChannels] * tx;
            d[k] = static_cast<uint8_t>((upper * (kFractions - ty) + lower * ty + kWeightHalf) >> kWeightBits);
        }
    }
}

void warpRowScalar(const AffineRow& row) { warpPixels(row, 0); }

// Four pixels whose top-left neighbours start at the byte offsets `offsets` (and the row below at
// + stride): bilinear results as 16-bit channels, laid out p0 p1 | p2 p3 after the caller packs.
// xWeights holds, per pixel, the bytes (32 - tx, tx) four times; yWeights (32 - ty, ty) as 16-bit
// pairs, one 32-bit value per pixel, for pixels (first, first + 2) and (first + 1, first + 3).
QOR_TARGET_AVX2 __m256i bilinearFour(const uint8_t* source, std::ptrdiff_t stride, __m128i offsets, __m256i xWeights,
                                     __m256i yWeightsEven, __m256i yWeightsOdd) {
    // Bytes b0 g0 r0 a0 b1 g1 r1 a1 of a pixel pair become b0 b1 g0 g1 r0 r1 a0 a1.
    const __m256i pairUp = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5, 2, 6,
                                            3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    const auto* top = reinterpret_cast<const long long*>(source);
    const auto* bottom = reinterpret_cast<const long long*>(source + stride);
    const __m256i upperPixels = _mm256_shuffle_epi8(_mm256_i32gather_epi64(top, offsets, 1), pairUp);
    const __m256i lowerPixels = _mm256_shuffle_epi8(_mm256_i32gather_epi64(bottom, offsets, 1), pairUp);
    const __m256i upper = _mm256_maddubs_epi16(upperPixels, xWeights);
    const __m256i lower = _mm256_maddubs_epi16(lowerPixels, xWeights);
    const __m256i half = _mm256_set1_epi32(kWeightHalf);
    const __m256i even = _mm256_madd_epi16(_mm256_unpacklo_epi16(upper, lower), yWeightsEven);
    const __m256i odd = _mm256_madd_epi16(_mm256_unpackhi_epi16(upper, lower), yWeightsOdd);
    return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(even, half), kWeightBits),
                              _mm256_srai_epi32(_mm256_add_epi32(odd, half), kWeightBits));
}

// Per pixel of a 32-bit lane value v, the value repeated over the pixel's 64-bit lane, for pixels
// 0-3 (low) or 4-7 (high) of eight.
QOR_TARGET_AVX2 __m256i spreadLow(__m256i v) {
    return _mm256_shuffle_epi32(_mm256_cvtepu32_epi64(_mm256_castsi256_si128(v)), _MM_SHUFFLE(2, 2, 0, 0));
}
QOR_TARGET_AVX2 __m256i spreadHigh(__m256i v) {
    return _mm256_shuffle_epi32(_mm256_cvtepu32_epi64(_mm256_extracti128_si256(v, 1)), _MM_SHUFFLE(2, 2, 0, 0));
}

// Eight pixels at a time: positions, inside test and weights in 32-bit lanes, the neighbourhoods
// gathered as pixel pairs, and only inside pixels stored.
QOR_TARGET_AVX2 void warpRowAvx2(const AffineRow& given) {
    const AffineRow row = given;  // fields in registers across the stores (see warpPixels)
    const int positionShift = kPositionBits - kFractionBits;
    const __m256i x0 = _mm256_set1_epi32(row.x0), y0 = _mm256_set1_epi32(row.y0);
    const __m256i lowest = _mm256_set1_epi32(std::numeric_limits<int16_t>::min());
    const __m256i highest = _mm256_set1_epi32(std::numeric_limits<int16_t>::max());
    const __m256i lastX = _mm256_set1_epi32(row.sourceWidth - 1), lastY = _mm256_set1_epi32(row.sourceHeight - 1);
    const __m256i minusOne = _mm256_set1_epi32(-1);
    const __m256i fractionMask = _mm256_set1_epi32(kFractions - 1), full = _mm256_set1_epi32(kFractions);
    const __m256i stride = _mm256_set1_epi32(static_cast<int>(row.sourceStride));
    const __m256i evenPixels = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2);
    const __m256i oddPixels = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
    const __m256i upperHalf = _mm256_set1_epi32(4);
    int x = 0;
    for (; x + 8 <= row.width; x += 8) {
        const __m256i X = _mm256_srai_epi32(
            _mm256_add_epi32(x0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.xSteps + x))), positionShift);
        const __m256i Y = _mm256_srai_epi32(
            _mm256_add_epi32(y0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.ySteps + x))), positionShift);
        const __m256i sx = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(X, kFractionBits), lowest), highest);
        const __m256i sy = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(Y, kFractionBits), lowest), highest);
        const __m256i inside = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpgt_epi32(sx, minusOne), _mm256_cmpgt_epi32(lastX, sx)),
            _mm256_and_si256(_mm256_cmpgt_epi32(sy, minusOne), _mm256_cmpgt_epi32(lastY, sy)));
        if (_mm256_testz_si256(inside, inside)) continue;
        const __m256i offsets = _mm256_and_si256(
            inside, _mm256_add_epi32(_mm256_mullo_epi32(sy, stride), _mm256_slli_epi32(sx, 2)));
        const __m256i tx = _mm256_and_si256(X, fractionMask), ty = _mm256_and_si256(Y, fractionMask);
        // (32 - t) in the low byte or half, t in the high one.
        const __m256i xPair = _mm256_or_si256(_mm256_sub_epi32(full, tx), _mm256_slli_epi32(tx, 8));
        const __m256i xBytes = _mm256_or_si256(xPair, _mm256_slli_epi32(xPair, 16));
        const __m256i yPairs = _mm256_or_si256(_mm256_sub_epi32(full, ty), _mm256_slli_epi32(ty, 16));
        const __m256i first = bilinearFour(row.source, row.sourceStride, _mm256_castsi256_si128(offsets),
                                           spreadLow(xBytes), _mm256_permutevar8x32_epi32(yPairs, evenPixels),
                                           _mm256_permutevar8x32_epi32(yPairs, oddPixels));
        const __m256i second = bilinearFour(
            row.source, row.sourceStride, _mm256_extracti128_si256(offsets, 1), spreadHigh(xBytes),
            _mm256_permutevar8x32_epi32(yPairs, _mm256_add_epi32(evenPixels, upperHalf)),
            _mm256_permutevar8x32_epi32(yPairs, _mm256_add_epi32(oddPixels, upperHalf)));
        // Bytes p0 p1 p4 p5 | p2 p3 p6 p7, put in order.
        const __m256i pixels = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), _MM_SHUFFLE(3, 1, 2, 0));
        _mm256_maskstore_epi32(reinterpret_cast<int*>(row.out + x * kChannels), inside, pixels);
    }
    // The compiler leaves the upper register halves dirty across the tail call, which would slow
    // every SSE instruction after it (the blend kernels among them).
    _mm256_zeroupper();
    warpPixels(row, x);
}

// The gathers address the source with 32-bit byte offsets.
bool gatherable(const cv::Mat& source) {
    return static_cast<double>(source.step[0]) * source.rows < std::numeric_limits<int32_t>::max();
}

}  // namespace

bool sharesMemory(const cv::Mat& a, const cv::Mat& b) {
    const auto end = [](const cv::Mat& m) { return m.ptr<uint8_t>(m.rows - 1) + m.cols * m.elemSize(); };
    return a.data < end(b) && b.data < end(a);
}

const tessel::SimdKernels<AffineRowKernel>& affineRowKernels() {
    static const tessel::SimdKernels<AffineRowKernel> kernels{warpRowScalar, warpRowAvx2};
    return kernels;
}

AffineSampling::AffineSampling(const cv::Mat& forward, int outputWidth) : xSteps_(outputWidth), ySteps_(outputWidth) {
    // The inverse (output to source) exactly as cv::warpAffine computes it.
    double* M = inverse_;
    for (int i = 0; i < 6; ++i) M[i] = forward.at<double>(i / 3, i % 3);
    double D = M[0] * M[4] - M[1] * M[3];
    D = D != 0 ? 1. / D : 0;
    const double A11 = M[4] * D, A22 = M[0] * D;
    M[0] = A11;
    M[1] *= -D;
    M[3] *= -D;
    M[4] = A22;
    const double b1 = -M[0] * M[2] - M[1] * M[5];
    const double b2 = -M[3] * M[2] - M[4] * M[5];
    M[2] = b1;
    M[5] = b2;
    for (int x = 0; x < outputWidth; ++x) {
        xSteps_[x] = cv::saturate_cast<int>(M[0] * x * kPositionScale);
        ySteps_[x] = cv::saturate_cast<int>(M[3] * x * kPositionScale);
    }
}

void AffineSampling::drawRows(const cv::Mat& source, cv::Mat& band, int firstRow, AffineRowKernel kernel) const {
    CV_Assert(source.type() == CV_8UC4 && band.type() == CV_8UC4 && band.cols == static_cast<int>(xSteps_.size()));
    // A source narrower or shorter than 2 pixels has no 2 x 2 neighbourhood to sample (and the
    // kernels' inside test assumes one).
    if (source.cols < 2 || source.rows < 2) return;
    if (!gatherable(source)) kernel = warpRowScalar;
    // Each row's origin, as cv::warpAffine computes it from the row number.
    const double* M = inverse_;
    std::vector<int> x0(band.rows), y0(band.rows);
    for (int i = 0; i < band.rows; ++i) {
        const int y = firstRow + i;
        x0[i] = cv::saturate_cast<int>((M[1] * y + M[2]) * kPositionScale) + kRoundToFraction;
        y0[i] = cv::saturate_cast<int>((M[4] * y + M[5]) * kPositionScale) + kRoundToFraction;
    }
    for (int left = 0; left < band.cols; left += kTileWidth) {
        const int width = std::min(kTileWidth, band.cols - left);
        for (int i = 0; i < band.rows; ++i) {
            const AffineRow row{source.data,
                                static_cast<std::ptrdiff_t>(source.step[0]),
                                source.cols,
                                source.rows,
                                xSteps_.data() + left,
                                ySteps_.data() + left,
                                x0[i],
                                y0[i],
                                band.ptr<uint8_t>(i) + left * kChannels,
                                width};
            kernel(row);
        }
    }
}

void warpBilinearTransparent(const cv::Mat& source, cv::Mat& destination, const cv::Mat& forward) {
    const cv::Mat readable = sharesMemory(source, destination) ? source.clone() : source;
    const AffineSampling sampling(forward, destination.cols);
    const int bands = (destination.rows + kWarpBandRows - 1) / kWarpBandRows;
    tessel::parallelRange(bands, -1, [&](const cv::Range& range) {
        cv::Mat rows = destination.rowRange(range.start * kWarpBandRows,
                                            std::min(destination.rows, range.end * kWarpBandRows));
        sampling.drawRows(readable, rows, range.start * kWarpBandRows);
    });
}
