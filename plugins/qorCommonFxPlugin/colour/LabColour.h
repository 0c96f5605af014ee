#pragma once
// The decorrelated logarithmic lαβ colour space of Reinhard colour transfer, shared by the two
// colour-matching effects: the conversions between BGR bytes and lαβ, the planes that hold a frame
// in lαβ, and the row split of the conversions.
//
// Every per-pixel formula is a template over the number type: `float` for one pixel, `Floats`,
// `WideFloats` and `WidestFloats` for four, eight and sixteen pixels at a time. All instantiations
// perform the same IEEE operations in the same order, so a pixel converts to the same bits whichever
// path handles it; the logarithm and exponential are our own polynomial versions for that reason (a
// library call has no vector twin). The per-pixel templates are always inlined, so that their wider
// instantiations compile to AVX2 and AVX-512 inside the row loops of those paths.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include <opencv2/core.hpp>

#include "framework/Frame.h"
#include "framework/SimdDispatch.h"

// Eight- and sixteen-lane values pass between always-inlined functions only, so the ABI warning
// about 32- and 64-byte vectors in functions compiled without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace labColour {

// Four lanes (SSE2, always there), eight lanes (AVX2) and sixteen lanes (AVX-512), the wider ones
// used where the processor has them.
using Floats = float __attribute__((vector_size(16)));
using Ints = int32_t __attribute__((vector_size(16)));
using WideFloats = float __attribute__((vector_size(32)));
using WideInts = int32_t __attribute__((vector_size(32)));
using WidestFloats = float __attribute__((vector_size(64)));
using WidestInts = int32_t __attribute__((vector_size(64)));

// Floors of L, M and S in the forward conversion, which keep black out of the logarithm.
constexpr float kFirstVersionFloor = 0.03f;
constexpr float kSecondVersionFloor = 0.003921569f;

// Frames up to this many pixels are converted on the calling thread; larger ones get one stripe per
// started block of this many pixels, rounded up to an even count.
constexpr int64_t kPixelsPerStripe = 230400;
int stripeCount(int64_t pixels);

// The factors 1/√3, 1/√6, 1/√2, computed in double precision and used as floats.
inline const float kInvSqrt3 = static_cast<float>(1.0 / std::sqrt(3.0));
inline const float kInvSqrt6 = static_cast<float>(1.0 / std::sqrt(6.0));
inline const float kInvSqrt2 = static_cast<float>(1.0 / std::sqrt(2.0));

// ---- Lane helpers: the few operations whose spelling differs between float and the vectors. ----

template <class F>
struct LaneTypes {
    using IntType = int32_t;
};
template <>
struct LaneTypes<Floats> {
    using IntType = Ints;
};
template <>
struct LaneTypes<WideFloats> {
    using IntType = WideInts;
};
template <>
struct LaneTypes<WidestFloats> {
    using IntType = WidestInts;
};
template <class F>
using IntsOf = typename LaneTypes<F>::IntType;
template <class I>
using FloatsOf = std::conditional_t<
    std::is_same_v<I, int32_t>, float,
    std::conditional_t<std::is_same_v<I, Ints>, Floats,
                       std::conditional_t<std::is_same_v<I, WideInts>, WideFloats, WidestFloats>>>;
template <class F>
constexpr int kLanes = sizeof(F) / sizeof(float);

template <class F>
[[gnu::always_inline]] inline IntsOf<F> bitsOf(F x) {
    return __builtin_bit_cast(IntsOf<F>, x);
}
template <class I>
[[gnu::always_inline]] inline FloatsOf<I> fromBits(I bits) {
    return __builtin_bit_cast(FloatsOf<I>, bits);
}
template <class I>
[[gnu::always_inline]] inline FloatsOf<I> toFloat(I x) {
    if constexpr (std::is_same_v<I, int32_t>) return static_cast<float>(x);
    else return __builtin_convertvector(x, FloatsOf<I>);
}
template <class F>
[[gnu::always_inline]] inline IntsOf<F> truncated(F x) {
    if constexpr (std::is_same_v<F, float>) return static_cast<int32_t>(x);
    else return __builtin_convertvector(x, IntsOf<F>);
}

// Loads and stores of `kLanes<F>` consecutive floats.
template <class F>
[[gnu::always_inline]] inline F loadLanes(const float* values) {
    F lanes;
    std::memcpy(&lanes, values, sizeof lanes);
    return lanes;
}
template <class F>
[[gnu::always_inline]] inline void storeLanes(float* values, const F& lanes) {
    std::memcpy(values, &lanes, sizeof lanes);
}

// Nearest integer, ties to even, for 0 <= x < 2^22: adding 1.5·2^23 leaves no fraction bits, so
// the addition itself rounds in the default rounding mode.
template <class F>
[[gnu::always_inline]] inline F roundedToEven(F x) {
    constexpr float kShift = 12582912.0f;
    return (x + kShift) - kShift;
}

// `value` in every lane.
template <class F>
[[gnu::always_inline]] inline F splat(float value) {
    return F{} + value;
}

// max(x, low); NaN becomes `low`.
template <class F>
[[gnu::always_inline]] inline F atLeast(F x, float low) {
    return x > low ? x : splat<F>(low);
}

// x limited to [low, high]; NaN becomes `low`.
template <class F>
[[gnu::always_inline]] inline F clamped(F x, float low, float high) {
    x = atLeast(x, low);
    return x < high ? x : splat<F>(high);
}

// 2^n for -127 <= n <= 128, as the product of two powers so that neither leaves the exponent range.
template <class I>
[[gnu::always_inline]] inline auto powerOfTwoFactors(I n) {
    const I half = n >> 1;
    return fromBits((half + 127) << 23) * fromBits((n - half + 127) << 23);
}

// Natural logarithm of a positive finite x (Cephes' single-precision polynomial): x = m·2^e with m
// in [√½, √2), ln x = e·ln 2 + ln m.
template <class F>
[[gnu::always_inline]] inline F naturalLog(F x) {
    const auto bits = bitsOf(x);
    F exponent = toFloat((bits >> 23) - 126);
    F mantissa = fromBits((bits & 0x007FFFFF) | 0x3F000000);  // in [0.5, 1)
    const auto small = mantissa < 0.707106781186547524f;
    exponent = small ? exponent - 1.0f : exponent;
    mantissa = small ? mantissa + mantissa : mantissa;
    const F t = mantissa - 1.0f;
    const F t2 = t * t;
    F p = t * 7.0376836292e-2f - 1.1514610310e-1f;
    p = p * t + 1.1676998740e-1f;
    p = p * t - 1.2420140846e-1f;
    p = p * t + 1.4249322787e-1f;
    p = p * t - 1.6668057665e-1f;
    p = p * t + 2.0000714765e-1f;
    p = p * t - 2.4999993993e-1f;
    p = p * t + 3.3333331174e-1f;
    p = p * t * t2;
    p = p + exponent * -2.12194440e-4f;
    p = p - t2 * 0.5f;
    return (t + p) + exponent * 0.693359375f;
}

template <class F>
[[gnu::always_inline]] inline F log10Of(F x) {
    return naturalLog(x) * 0.4342944819032518f;
}

// 10^x in single precision: e^(x·ln 10) with the exponent limited to ±88.37626 (Cephes' polynomial).
template <class F>
[[gnu::always_inline]] inline F power10Of(F x) {
    F t = clamped(F(x * 2.302585092994046f), -88.3762626647949f, 88.3762626647949f);
    const F scaled = t * 1.44269504088896341f + 0.5f;
    F whole = toFloat(truncated(scaled));
    whole = whole > scaled ? whole - 1.0f : whole;  // floor
    t = t - whole * 0.693359375f;
    t = t - whole * -2.12194440e-4f;
    const F t2 = t * t;
    F p = t * 1.9875691500e-4f + 1.3981999507e-3f;
    p = p * t + 8.3334519073e-3f;
    p = p * t + 4.1665795894e-2f;
    p = p * t + 1.6666665459e-1f;
    p = p * t + 5.0000001201e-1f;
    p = (p * t2 + t) + 1.0f;
    return p * powerOfTwoFactors(truncated(whole));
}

// ---- The colour space. ----

template <class F>
struct Lab {
    F l, alpha, beta;
};

template <class F>
struct Bgr {
    F b, g, r;
};

// BGR bytes (as numbers 0..255) to lαβ; L, M and S are floored at `floor` before the logarithm.
template <class F>
[[gnu::always_inline]] inline Lab<F> labOf(const Bgr<F>& c, float floor) {
    const F l = atLeast(F((0.3811f * c.r + 0.5783f * c.g + 0.0402f * c.b) * (1.0f / 255.0f)), floor);
    const F m = atLeast(F((0.1967f * c.r + 0.7244f * c.g + 0.0782f * c.b) * (1.0f / 255.0f)), floor);
    const F s = atLeast(F((0.0241f * c.r + 0.1288f * c.g + 0.8444f * c.b) * (1.0f / 255.0f)), floor);
    const F logL = log10Of(l), logM = log10Of(m), logS = log10Of(s);
    return {(logL + logM + logS) * kInvSqrt3, (logL + logM - 2.0f * logS) * kInvSqrt6, (logL - logM) * kInvSqrt2};
}

// lαβ back to linear BGR (not clamped; 1 is full intensity).
template <class F>
[[gnu::always_inline]] inline Bgr<F> bgrOf(const Lab<F>& c) {
    const F lightness = c.l * kInvSqrt3, colour = c.alpha * kInvSqrt6, opponent = c.beta * kInvSqrt2;
    const F l = power10Of(F(lightness + colour + opponent));
    const F m = power10Of(F(lightness + colour - opponent));
    const F s = power10Of(F(lightness - 2.0f * colour));
    return {0.0497f * l - 0.2439f * m + 1.2045f * s, -1.2186f * l + 2.3809f * m - 0.1624f * s,
            4.4679f * l - 3.5873f * m + 0.1193f * s};
}

// ---- Pixels in and out: kLanes<F> pixels at a time. ----

template <class F>
struct Pixels {
    Bgr<F> colour;
    F alpha;
};

template <class F>
[[gnu::always_inline]] inline Pixels<F> loadPixels(const uint8_t* p) {
    if constexpr (std::is_same_v<F, float>) {
        return {{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])}, static_cast<float>(p[3])};
    } else {
        IntsOf<F> words;
        std::memcpy(&words, p, sizeof words);
        return {{toFloat(words & 0xFF), toFloat((words >> 8) & 0xFF), toFloat((words >> 16) & 0xFF)},
                toFloat((words >> 24) & 0xFF)};
    }
}

// Whole numbers 0..255 (B, G, R; fractions are cut off) with the original alpha bytes of `source`.
template <class F>
[[gnu::always_inline]] inline void storePixels(uint8_t* target, const Bgr<F>& c, const uint8_t* source) {
    if constexpr (std::is_same_v<F, float>) {
        target[0] = static_cast<uint8_t>(c.b);
        target[1] = static_cast<uint8_t>(c.g);
        target[2] = static_cast<uint8_t>(c.r);
        target[3] = source[3];
    } else {
        IntsOf<F> original;
        std::memcpy(&original, source, sizeof original);
        const IntsOf<F> words =
            truncated(c.b) | (truncated(c.g) << 8) | (truncated(c.r) << 16) | (original & ~0x00FFFFFF);
        std::memcpy(target, &words, sizeof words);
    }
}

// ---- Row drivers. ----

// Runs `step(F{}, x)` from x on while kLanes<F> more pixels of the row remain; returns where it
// stopped.
template <class F, class Step>
[[gnu::always_inline]] inline int lanesSteps(int x, int width, Step& step) {
    for (; x + kLanes<F> <= width; x += kLanes<F>) step(F{}, x);
    return x;
}

// The vector part of a row on each path: the widest steps the path has, then narrower ones; each
// returns how many pixels it did.
template <class Step>
int vectorStepsSse2(int width, Step& step) {
    return lanesSteps<Floats>(0, width, step);
}
template <class Step>
QOR_TARGET_AVX2 int vectorStepsAvx2(int width, Step& step) {
    return lanesSteps<Floats>(lanesSteps<WideFloats>(0, width, step), width, step);
}
template <class Step>
QOR_TARGET_AVX512 int vectorStepsAvx512(int width, Step& step) {
    const int x = lanesSteps<WideFloats>(lanesSteps<WidestFloats>(0, width, step), width, step);
    return lanesSteps<Floats>(x, width, step);
}
template <class Step>
inline const tessel::SimdKernels<int (*)(int, Step&)> kVectorSteps{vectorStepsSse2<Step>, vectorStepsAvx2<Step>,
                                                                   vectorStepsAvx512<Step>};

// Runs `step(F{}, x)` over the `width` pixels of a row: with `vectorised`, as many lanes at a time
// as `path` allows; the rest one at a time. `step` must be marked always_inline so that the wide
// steps compile to the path's instructions. Every lane computes what the one-pixel step computes.
template <class Step>
void forEachPixel(int width, bool vectorised, tessel::SimdPath path, Step&& step) {
    int x = vectorised ? kVectorSteps<std::remove_reference_t<Step>>.at(path)(width, step) : 0;
    for (; x < width; ++x) step(0.0f, x);
}

// ---- Planes. ----

// `plane` moved on by `bytes`.
template <class T>
[[gnu::always_inline]] inline T* byteOffset(T* plane, std::ptrdiff_t bytes) {
    return reinterpret_cast<T*>(reinterpret_cast<std::conditional_t<std::is_const_v<T>, const uint8_t, uint8_t>*>(plane) +
                                bytes);
}


// The planes l, α, β: single precision, of one size, in one 16-byte-aligned block; each plane row
// takes width·4 bytes raised to the next multiple of 16. The block is kept while the size stays.
class LabPlanes {
public:
    // False (and no block) when the memory is not available.
    bool allocate(int width, int height);
    bool matches(int width, int height) const { return block_ && width == width_ && height == height_; }

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    float* plane(int index) const {
        return reinterpret_cast<float*>(block_.get() + static_cast<std::size_t>(index) * height_ * stride_);
    }
    float* row(int index, int y) const { return byteOffset(plane(index), static_cast<std::ptrdiff_t>(y) * stride_); }
    cv::Mat mat(int index) const { return cv::Mat(height_, width_, CV_32F, plane(index), static_cast<std::size_t>(stride_)); }

private:
    struct Free {
        void operator()(uint8_t* block) const;
    };
    int width_ = 0, height_ = 0, stride_ = 0;
    std::unique_ptr<uint8_t, Free> block_;
};

// Converts `rows` rows of `width` pixels starting at `pixels` into the planes' rows starting at `l`,
// `alpha`, `beta`. `vectorised` lets several pixels at a time be converted, as many as `path`
// allows; the values are the same.
void bgrx2labf(const uint8_t* pixels, int32_t stride, float* l, float* alpha, float* beta, int32_t planeStride,
               int width, int rows, float floor, bool vectorised,
               tessel::SimdPath path = tessel::chosenSimdPath());

// Sums over one row of the planes, in double: of l, α, β (index 0, 1, 2), of their squares, and
// of α·β.
struct RowSums {
    double sum[3] = {}, squares[3] = {}, alphaBeta = 0;
};

// Means and standard deviations of l, α, β over a frame, and the covariance of α and β.
struct LabStatistics {
    cv::Vec3d mean, deviation;
    double covariance = 0;
};

// The forward conversion as an OpenCV loop body over rows of the frame; each converted row is
// summed into its entry of `rowSums` while it is still in the cache.
class bgrx2labfParallelLoopBody : public cv::ParallelLoopBody {
public:
    bgrx2labfParallelLoopBody(const tessel::Frame& picture, const LabPlanes& planes, float floor, bool vectorised,
                              tessel::SimdPath path, RowSums* rowSums)
        : picture_(picture), planes_(planes), floor_(floor), vectorised_(vectorised), path_(path), rowSums_(rowSums) {}
    void operator()(const cv::Range& rows) const override;

private:
    tessel::Frame picture_;
    const LabPlanes& planes_;
    float floor_;
    bool vectorised_;
    tessel::SimdPath path_;
    RowSums* rowSums_;
};

// Converts all of `picture` into `planes` (already of its size) and measures the planes: on the
// calling thread up to kPixelsPerStripe pixels, otherwise in stripeCount stripes. The statistics
// add the rows up in order, so they do not depend on the stripes.
LabStatistics convertToLab(const tessel::Frame& picture, const LabPlanes& planes, float floor, bool vectorised,
                           tessel::SimdPath path = tessel::chosenSimdPath());

}  // namespace labColour
