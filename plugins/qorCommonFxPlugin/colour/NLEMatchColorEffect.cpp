#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffect.h"

#include <algorithm>
#include <cmath>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"

using tessel::Frame;
using namespace labColour;

namespace {

constexpr double kMaximumRatio = 1.5;
constexpr double kFlatDeviation = 1e-5;

// The target spread over the frame's spread, limited to [0, 1.5]; 1 for a channel without spread.
float channelRatio(double target, double source) {
    if (source < kFlatDeviation) return 1.0f;
    const double ratio = target / source;
    return static_cast<float>(ratio > 0 ? std::min(ratio, kMaximumRatio) : 0.0);
}

// One channel: the matched value (0..1) mixed with the input byte, premultiplied, rounded.
template <class F>
[[gnu::always_inline]] inline F mixed(F matched, F input, F alpha, float strength) {
    return roundedToEven(F((clamped(matched, 0.0f, 1.0f) * 255.0f * strength + input * (1.0f - strength)) *
                           (alpha / 255.0f)));
}

template <class F, class P>
[[gnu::always_inline]] inline Bgr<F> replacedPixel(const P& pixel, const Lab<F>& lab, const NLEMatchColorEffect::Replacement& r) {
    const Lab<F> moved{(lab.l - r.sourceMean[0]) * r.ratio[0] + r.targetMean[0],
                       (lab.alpha - r.sourceMean[1]) * r.ratio[1] + r.targetMean[1],
                       (lab.beta - r.sourceMean[2]) * r.ratio[2] + r.targetMean[2]};
    const Bgr<F> matched = bgrOf(moved);
    return {mixed(matched.b, pixel.colour.b, pixel.alpha, r.strength),
            mixed(matched.g, pixel.colour.g, pixel.alpha, r.strength),
            mixed(matched.r, pixel.colour.r, pixel.alpha, r.strength)};
}

class Labf2BgrxAndReplaceParallel : public cv::ParallelLoopBody {
public:
    Labf2BgrxAndReplaceParallel(const Frame& in, const Frame& out, const LabPlanes& planes,
                                const NLEMatchColorEffect::Replacement& replacement, tessel::SimdPath path)
        : in_(in), out_(out), planes_(planes), replacement_(replacement), path_(path) {}

    void operator()(const cv::Range& rows) const override {
        NLEMatchColorEffect::labf2bgrxAndReplace(in_.row(rows.start), in_.stride, planes_.row(0, rows.start),
                                                 planes_.row(1, rows.start), planes_.row(2, rows.start),
                                                 planes_.stride(), out_.row(rows.start), out_.stride, in_.width,
                                                 rows.size(), replacement_, path_);
    }

private:
    Frame in_, out_;
    const LabPlanes& planes_;
    const NLEMatchColorEffect::Replacement& replacement_;
    tessel::SimdPath path_;
};

}  // namespace

void NLEMatchColorEffect::labf2bgrxAndReplace(const uint8_t* input, int32_t inputStride, const float* l,
                                              const float* alpha, const float* beta, int32_t planeStride,
                                              uint8_t* output, int32_t outputStride, int width, int rows,
                                              const Replacement& replacement, tessel::SimdPath path) {
    for (int y = 0; y < rows; ++y) {
        const uint8_t* pixel = input + static_cast<std::ptrdiff_t>(y) * inputStride;
        uint8_t* target = output + static_cast<std::ptrdiff_t>(y) * outputStride;
        forEachPixel(width, true, path, [&](auto lanes, int x) __attribute__((always_inline)) {
            using F = decltype(lanes);
            const Lab<F> lab{loadLanes<F>(l + x), loadLanes<F>(alpha + x), loadLanes<F>(beta + x)};
            storePixels(target + 4 * x, replacedPixel(loadPixels<F>(pixel + 4 * x), lab, replacement), pixel + 4 * x);
        });
        l = byteOffset(l, planeStride);
        alpha = byteOffset(alpha, planeStride);
        beta = byteOffset(beta, planeStride);
    }
}

const tessel::ParamTable<NLEMatchColorEffect> NLEMatchColorEffect::kParams{
    {"mean_b", &NLEMatchColorEffect::meanL, 0.0},
    {"mean_g", &NLEMatchColorEffect::meanAlpha, 0.0},
    {"mean_r", &NLEMatchColorEffect::meanBeta, 0.0},
    {"stddb", &NLEMatchColorEffect::deviationL, 0.0},
    {"stddg", &NLEMatchColorEffect::deviationAlpha, 0.0},
    {"stddr", &NLEMatchColorEffect::deviationBeta, 0.0},
    {"Enabled", &NLEMatchColorEffect::enabled, 0.0},
    {"strength", &NLEMatchColorEffect::strengthPercent, 100.0}};

int32_t NLEMatchColorEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                       uint8_t*, int32_t, int32_t, int32_t, uint8_t* src, int32_t srcWidth,
                                       int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!out.canHold(in)) return 1;

    const float targetMean[3] = {meanL, meanAlpha, meanBeta};
    const float targetDeviation[3] = {deviationL, deviationAlpha, deviationBeta};
    float sum = 0.0f;
    for (int k = 0; k < 3; ++k) sum += std::abs(targetMean[k]) + std::abs(targetDeviation[k]);
    // Without targets, or when the planes cannot be had, the frame passes unchanged.
    if (enabled == 0 || sum < 1e-9f || !planes.allocate(in.width, in.height)) {
        tessel::copyFrame(in, out);
        return 0;
    }

    const LabStatistics source = convertToLab(in, planes, kFirstVersionFloor, true, simdPath_);
    // A strength outside 0..100 would push the mix outside 0..255.
    Replacement replacement{{}, {}, {}, static_cast<float>(std::clamp(strengthPercent, 0, 100)) / 100.0f};
    for (int k = 0; k < 3; ++k) {
        replacement.sourceMean[k] = static_cast<float>(source.mean[k]);
        replacement.targetMean[k] = targetMean[k];
        replacement.ratio[k] = channelRatio(targetDeviation[k], source.deviation[k]);
    }

    const Labf2BgrxAndReplaceParallel body(in, out, planes, replacement, simdPath_);
    const int stripes = stripeCount(static_cast<int64_t>(in.width) * in.height);
    if (stripes < 2) body(cv::Range(0, in.height));
    else cv::parallel_for_(cv::Range(0, in.height), body, stripes);
    return 0;
}
