#include "plugins/qorCommonFxPlugin/finishing/GaussianBandBlur.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include <immintrin.h>

#include <opencv2/imgproc.hpp>

#include "plugins/qorCommonFxPlugin/finishing/WordLanes.h"

namespace finishing {
namespace {

constexpr int kChannels = 4;
// Pixels per tile: the row-pass results of a tile over the band and its margins stay in cache
// while the column pass reads each of them once per tap.
constexpr int kTilePixels = 16;
// Values computed side by side: a tile row, enough independent sums to keep the FMA units busy.
constexpr int kLanes = kTilePixels * kChannels;
constexpr float kRoundingMagic = 12582912.0f;  // 1.5 * 2^23, see roundToByte

#define QOR_FMA_AVX2 [[gnu::target("avx2,fma")]]
#define QOR_FMA_AVX512 [[gnu::target("avx2,fma,avx512f,avx512bw,avx512vl,avx512dq")]]

int reflect101(int i, int length) { return cv::borderInterpolate(i, length, cv::BORDER_REFLECT_101); }

// The column pass over one tile row of kLanes floats at `offset`: centre * weights[0], then
// s = fma(weights[k], below[k] + above[k], s) for k = 1..radius, each rounded to the nearest byte
// (ties to even, the processor's default) into `out`. Written with intrinsics: the compiler does
// not vectorise this chain of fused multiply-adds by itself. The sums are never negative.
using ColumnPass = void (*)(const float* const* above, const float* const* below, const float* weights, int radius,
                            int offset, uint8_t* out);

QOR_FMA_AVX2 void columnPassAvx2(const float* const* above, const float* const* below, const float* weights,
                                 int radius, int offset, uint8_t* out) {
    constexpr int kVectors = kLanes / 8;
    __m256 s[kVectors];
    const __m256 centreWeight = _mm256_set1_ps(weights[0]);
#pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v) s[v] = _mm256_mul_ps(centreWeight, _mm256_loadu_ps(below[0] + offset + 8 * v));
    for (int k = 1; k <= radius; ++k) {
        const __m256 weight = _mm256_set1_ps(weights[k]);
        const float* up = above[k] + offset;
        const float* down = below[k] + offset;
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
            const __m256 pair = _mm256_add_ps(_mm256_loadu_ps(down + 8 * v), _mm256_loadu_ps(up + 8 * v));
            s[v] = _mm256_fmadd_ps(weight, pair, s[v]);
        }
    }
    // Packing works within 128-bit halves; the permutation puts the bytes back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
#pragma GCC unroll 2
    for (int v = 0; v < kVectors; v += 4) {
        const __m256i low = _mm256_packus_epi32(_mm256_cvtps_epi32(s[v]), _mm256_cvtps_epi32(s[v + 1]));
        const __m256i high = _mm256_packus_epi32(_mm256_cvtps_epi32(s[v + 2]), _mm256_cvtps_epi32(s[v + 3]));
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * v), bytes);
    }
}

QOR_FMA_AVX512 void columnPassAvx512(const float* const* above, const float* const* below, const float* weights,
                                     int radius, int offset, uint8_t* out) {
    constexpr int kVectors = kLanes / 16;
    constexpr __mmask16 kAll = 0xFFFF;
    __m512 s[kVectors];
    const __m512 centreWeight = _mm512_set1_ps(weights[0]);
#pragma GCC unroll 4
    for (int v = 0; v < kVectors; ++v) s[v] = _mm512_mul_ps(centreWeight, _mm512_loadu_ps(below[0] + offset + 16 * v));
    for (int k = 1; k <= radius; ++k) {
        const __m512 weight = _mm512_set1_ps(weights[k]);
        const float* up = above[k] + offset;
        const float* down = below[k] + offset;
#pragma GCC unroll 4
        for (int v = 0; v < kVectors; ++v) {
            const __m512 pair = _mm512_add_ps(_mm512_loadu_ps(down + 16 * v), _mm512_loadu_ps(up + 16 * v));
            s[v] = _mm512_fmadd_ps(weight, pair, s[v]);
        }
    }
#pragma GCC unroll 4
    for (int v = 0; v < kVectors; ++v) {
        // The zero-masking forms, whose unmasked twins trip GCC 12's uninitialised-value warning.
        const __m512i nearest = _mm512_maskz_cvtps_epi32(kAll, s[v]);
        const __m512i rounded = _mm512_maskz_max_epi32(kAll, nearest, _mm512_setzero_si512());
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * v), _mm512_maskz_cvtusepi32_epi8(kAll, rounded));
    }
}

// The nearest byte, ties to even, saturated: what OpenCV's float-to-byte packing gives. Adding and
// subtracting 1.5 * 2^23 rounds any float of magnitude below 2^22; larger ones saturate anyway.
QOR_INLINE uint8_t roundToByte(float value) {
    const float clamped = std::min(std::max(value, -1.0f), 256.0f);
    const int32_t rounded = static_cast<int32_t>((clamped + kRoundingMagic) - kRoundingMagic);
    return static_cast<uint8_t>(std::min(std::max(rounded, 0), 255));
}

// The band's tile of columns [x0, x0 + width) through both passes. `rowPass` holds one row of
// row-pass results per frame row the band reads.
class TileBlur {
public:
    TileBlur(const cv::Mat& in, const std::vector<float>& kernel, const cv::Range& rows, ColumnPass columnPass)
        : in_(in), kernel_(kernel), columnPass_(columnPass), radius_(static_cast<int>(kernel.size()) / 2), rows_(rows),
          first_(std::max(0, rows.start - radius_)), last_(std::min(in.rows, rows.end + radius_)),
          padded_(static_cast<size_t>(kTilePixels + 2 * radius_) * kChannels),
          rowPass_(static_cast<size_t>(last_ - first_) * kTilePixels * kChannels), above_(radius_ + 1),
          below_(radius_ + 1) {
        for (int y = rows.start - radius_; y < rows.end + radius_; ++y) {
            reflectedRows_.push_back(reflect101(y, in.rows));
        }
    }

    QOR_INLINE void run(cv::Mat& out, int x0) {
        const int width = std::min(kTilePixels, in_.cols - x0);
        for (int y = first_; y < last_; ++y) rowPassOf(y, x0, width);
        for (int y = rows_.start; y < rows_.end; ++y) columnPassOf(y, out.ptr<uint8_t>(y) + kChannels * x0, width);
    }

private:
    // Each result is the chain s = fma(pixel at tap t, weight t, s) over the taps in order.
    QOR_INLINE void rowPassOf(int y, int x0, int width) {
        padRow(in_.ptr<uint8_t>(y), x0, width);
        float* target = rowPassRow(y);
        const float* padded = padded_.data();
        const float* weights = kernel_.data();
        const int count = width * kChannels, taps = static_cast<int>(kernel_.size());
        int i = 0;
        for (; i + kLanes <= count; i += kLanes) {
            float sum[kLanes] = {};
            for (int t = 0; t < taps; ++t) {
                const float* pixels = padded + i + kChannels * t;
                const float weight = weights[t];
                for (int lane = 0; lane < kLanes; ++lane) sum[lane] = __builtin_fmaf(pixels[lane], weight, sum[lane]);
            }
            std::memcpy(target + i, sum, sizeof sum);
        }
        for (; i < count; ++i) {
            float sum = 0;
            for (int t = 0; t < taps; ++t) sum = __builtin_fmaf(padded[i + kChannels * t], weights[t], sum);
            target[i] = sum;
        }
    }

    // centre * weight 0, then s = fma(weight k, below + above, s) for k = 1..radius.
    QOR_INLINE void columnPassOf(int y, uint8_t* out, int width) {
        const int count = width * kChannels;
        const int* window = reflectedRows_.data() + (y - rows_.start) + radius_;
        for (int k = 0; k <= radius_; ++k) {
            above_[k] = rowPassRow(window[-k]);
            below_[k] = rowPassRow(window[k]);
        }
        const float* weights = kernel_.data() + radius_;
        int i = 0;
        for (; i + kLanes <= count; i += kLanes) {
            columnPass_(above_.data(), below_.data(), weights, radius_, i, out + i);
        }
        for (; i < count; ++i) {
            float sum = weights[0] * below_[0][i];
            for (int k = 1; k <= radius_; ++k) sum = __builtin_fmaf(weights[k], below_[k][i] + above_[k][i], sum);
            out[i] = roundToByte(sum);
        }
    }

    // The tile's pixels and `radius_` more on each side (reflected at the frame's edges), as floats.
    QOR_INLINE void padRow(const uint8_t* row, int x0, int width) {
        float* __restrict target = padded_.data();
        const int begin = x0 - radius_, end = x0 + width + radius_;
        const int insideBegin = std::max(begin, 0), insideEnd = std::min(end, in_.cols);
        for (int x = begin; x < insideBegin; ++x) {
            copyPixel(row, reflect101(x, in_.cols), target + kChannels * (x - begin));
        }
        const uint8_t* __restrict inside = row + kChannels * insideBegin;
        float* __restrict insideTarget = target + kChannels * (insideBegin - begin);
        for (int i = 0; i < kChannels * (insideEnd - insideBegin); ++i) insideTarget[i] = inside[i];
        for (int x = insideEnd; x < end; ++x) {
            copyPixel(row, reflect101(x, in_.cols), target + kChannels * (x - begin));
        }
    }

    static void copyPixel(const uint8_t* row, int x, float* target) {
        for (int c = 0; c < kChannels; ++c) target[c] = row[kChannels * x + c];
    }

    float* rowPassRow(int y) { return rowPass_.data() + static_cast<size_t>(y - first_) * kTilePixels * kChannels; }

    const cv::Mat& in_;
    const std::vector<float>& kernel_;
    ColumnPass columnPass_;
    int radius_;
    cv::Range rows_;
    int first_, last_;  // frame rows the band reads
    std::vector<float> padded_, rowPass_;
    std::vector<int> reflectedRows_;  // the frame row read for each row from rows_.start - radius_ on
    std::vector<const float*> above_, below_;  // row-pass rows k above and below the current row
};

std::vector<float> gaussianWeights(int kernelSize) {
    const cv::Mat weights = cv::getGaussianKernel(kernelSize, 0, CV_32F);
    return {weights.begin<float>(), weights.end<float>()};
}

// The band through OpenCV itself, the reference the other versions repeat.
void openCvBandBlur(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows) {
    // The whole frame as one region would take OpenCV's fixed-point path: two halves keep the
    // region arithmetic, and seams do not show.
    if (rows.size() == in.rows && rows.size() > 1) {
        const int middle = rows.start + rows.size() / 2;
        openCvBandBlur(in, out, kernelSize, {rows.start, middle});
        openCvBandBlur(in, out, kernelSize, {middle, rows.end});
        return;
    }
    cv::Mat band = out.rowRange(rows);
    cv::GaussianBlur(in.rowRange(rows), band, cv::Size(kernelSize, kernelSize), 0, 0, cv::BORDER_REFLECT_101);
}

QOR_INLINE void tiledBandBlur(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows,
                              ColumnPass columnPass) {
    // A kernel reaching past the frame more than once reflects repeatedly; OpenCV handles that.
    if (kernelSize / 2 >= std::min(in.rows, in.cols)) {
        openCvBandBlur(in, out, kernelSize, rows);
        return;
    }
    const std::vector<float> weights = gaussianWeights(kernelSize);
    TileBlur tile(in, weights, rows, columnPass);
    for (int x0 = 0; x0 < in.cols; x0 += kTilePixels) tile.run(out, x0);
}

QOR_FMA_AVX2 void tiledBandBlurAvx2(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows) {
    tiledBandBlur(in, out, kernelSize, rows, columnPassAvx2);
}
QOR_FMA_AVX512 void tiledBandBlurAvx512(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows) {
    tiledBandBlur(in, out, kernelSize, rows, columnPassAvx512);
}

const tessel::SimdKernels<GaussianBandBlur> kBandBlurs{openCvBandBlur, tiledBandBlurAvx2, tiledBandBlurAvx512};

// OpenCV filters a band region with a kernel of whole multiples of 1/256 in integers: the weights
// times 256, a row pass, then a column pass whose exact sum it divides by 2^16, ties to even. The
// sums are the same in either order, so ours sums columns first, reading the frame's rows in
// place, with the weights divided by their common factor so that every sum fits in 16 bits; the
// divisor becomes 2^shift.
struct IntegerKernel {
    std::vector<uint16_t> weights;  // empty when the sums would not fit
    int shift = 0;
};

IntegerKernel integerKernel(int kernelSize) {
    if (kernelSize < 3 || gaussianBandRunsInFloat(kernelSize)) return {};
    std::vector<int> scaled;
    for (float weight : gaussianWeights(kernelSize)) scaled.push_back(static_cast<int>(std::lround(weight * 256)));
    const int common = std::accumulate(scaled.begin(), scaled.end(), 0, [](int a, int b) { return std::gcd(a, b); });
    const int total = 256 / common;
    // The largest sum, 255 * total^2, and the rounding term must stay below 2^16.
    if (total > 16) return {};
    IntegerKernel kernel;
    for (int weight : scaled) kernel.weights.push_back(static_cast<uint16_t>(weight / common));
    kernel.shift = 2 * __builtin_ctz(static_cast<unsigned>(total));
    return kernel;
}

template <class L>
QOR_INLINE void weightedColumnSums(const uint8_t* const* rows, const uint16_t* weights, int size, uint16_t* sums,
                                   int count) {
    int i = 0;
    for (; i + L::kLanes <= count; i += L::kLanes) {
        typename L::V sum = L::multiply(L::widen(rows[0] + i), L::set(weights[0]));
        for (int k = 1; k < size; ++k) sum = L::add(sum, L::multiply(L::widen(rows[k] + i), L::set(weights[k])));
        L::store(sums + i, sum);
    }
    for (; i < count; ++i) {
        uint32_t sum = 0;
        for (int k = 0; k < size; ++k) sum += weights[k] * rows[k][i];
        sums[i] = static_cast<uint16_t>(sum);
    }
}

// The weighted sums along the row divided by 2^shift, ties to the even neighbour: half a unit
// less one is added, and the last unit that tips a tie up only to an odd quotient.
template <class L>
QOR_INLINE void evenRoundedRowSums(const uint16_t* padded, const uint16_t* weights, int size, int shift, uint8_t* out,
                                   int count) {
    const uint16_t belowHalf = static_cast<uint16_t>((1 << (shift - 1)) - 1);
    const typename L::V bias = L::set(belowHalf), one = L::set(1);
    int i = 0;
    for (; i + L::kLanes <= count; i += L::kLanes) {
        typename L::V sum = L::multiply(L::load(padded + i), L::set(weights[0]));
        for (int t = 1; t < size; ++t) {
            sum = L::add(sum, L::multiply(L::load(padded + i + kChannels * t), L::set(weights[t])));
        }
        const typename L::V odd = L::bitAnd(L::shiftRight(sum, shift), one);
        L::narrow(out + i, L::shiftRight(L::add(L::add(sum, bias), odd), shift));
    }
    for (; i < count; ++i) {
        uint32_t sum = 0;
        for (int t = 0; t < size; ++t) sum += weights[t] * padded[i + kChannels * t];
        out[i] = static_cast<uint8_t>((sum + belowHalf + ((sum >> shift) & 1)) >> shift);
    }
}

template <class L>
QOR_INLINE void integerBandBlur(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows) {
    const IntegerKernel kernel = integerKernel(kernelSize);
    const int radius = kernelSize / 2, count = in.cols * kChannels;
    std::vector<uint16_t> padded(static_cast<size_t>(in.cols + 2 * radius) * kChannels);
    uint16_t* inside = padded.data() + kChannels * radius;
    std::vector<const uint8_t*> window(kernelSize);
    for (int y = rows.start; y < rows.end; ++y) {
        for (int k = 0; k < kernelSize; ++k) window[k] = in.ptr<uint8_t>(reflect101(y + k - radius, in.rows));
        weightedColumnSums<L>(window.data(), kernel.weights.data(), kernelSize, inside, count);
        wordLanes::reflectRowEnds(inside, in.cols, radius);
        evenRoundedRowSums<L>(padded.data(), kernel.weights.data(), kernelSize, kernel.shift, out.ptr<uint8_t>(y),
                              count);
    }
}

void integerBandBlurSse2(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows) {
    integerBandBlur<wordLanes::Sse2Lanes>(in, out, kernelSize, rows);
}
QOR_TARGET_AVX2 void integerBandBlurAvx2(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows) {
    integerBandBlur<wordLanes::Avx2Lanes>(in, out, kernelSize, rows);
}
QOR_TARGET_AVX512 void integerBandBlurAvx512(const cv::Mat& in, cv::Mat& out, int kernelSize, const cv::Range& rows) {
    integerBandBlur<wordLanes::Avx512Lanes>(in, out, kernelSize, rows);
}

const tessel::SimdKernels<GaussianBandBlur> kIntegerBandBlurs{integerBandBlurSse2, integerBandBlurAvx2,
                                                              integerBandBlurAvx512};

}  // namespace

bool gaussianBandRunsInFloat(int kernelSize) {
    // OpenCV's fixed-point rule: weights within 10 float epsilons (scaled) of multiples of 1/256
    // are filtered in integers.
    const std::vector<float> weights = gaussianWeights(kernelSize);
    const bool symmetric = std::equal(weights.begin(), weights.end(), weights.rbegin());
    const bool fixedPoint = std::all_of(weights.begin(), weights.end(), [](float w) {
        const double scaled = static_cast<double>(w) * 256;
        return std::fabs(scaled - std::nearbyint(scaled)) <= 10 * FLT_EPSILON * 256;
    });
    return symmetric && !fixedPoint;
}

bool gaussianBandFitsSixteenBits(int kernelSize) { return !integerKernel(kernelSize).weights.empty(); }

GaussianBandBlur gaussianBandBlurInIntegers(tessel::SimdPath path) { return kIntegerBandBlurs.at(path); }

GaussianBandBlur gaussianBandBlur(tessel::SimdPath path) {
    // The fused multiply-adds need FMA beside AVX2.
    if (!__builtin_cpu_supports("fma")) return kBandBlurs.sse2;
    return kBandBlurs.at(path);
}

}  // namespace finishing
