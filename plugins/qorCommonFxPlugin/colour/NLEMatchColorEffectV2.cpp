#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffectV2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/copyPlane.h"
#include "platform/MemoryProbe.h"
#include "plugins/qorCommonFxPlugin/HostSuites.h"
#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"

using tessel::Frame;
using tessel::qorCommonFxPlugin::hostLog;
using tessel::qorCommonFxPlugin::LogLevel;
using namespace labColour;

namespace V2Utils {

namespace {

constexpr const char* kSourceName = "NLEMatchColorEffectV2.cpp";
constexpr int kBufferCheckLine = 645;
constexpr int kAllocationLine = 743;

// The weights of the back conversion: none of the target luminance, all of the target colour.
constexpr float kLuminanceWeight = 0.0f;
constexpr float kColourWeight = 1.0f;

// Everything the back conversion applies to a pixel, prepared once per frame.
struct ColourTransfer {
    float planeMean[3], planeSpread[3];                   // z = (plane - mean) / spread
    float grayMean, grayDivisor, graySpread, grayOffset;  // y = (g - mean) / divisor · spread + offset
    float lightnessScale, lightnessOffset;
    float keep, mix;  // weights of the own and the other opponent channel
    float alphaScale, alphaOffset, betaScale, betaOffset;
    float strength;
};

ColourTransfer prepareTransfer(const RegionStatistics& measured, const float* targets, float strength) {
    const double correlationTarget = std::isnan(targets[6]) ? 0.0 : std::clamp<double>(targets[6], -1.0, 1.0);
    double a = 1, b = 0;
    correlationWeights(measured.correlation, correlationTarget, a, b);
    const auto grayMean = static_cast<float>(measured.grayMean);
    const auto graySpread = static_cast<float>(measured.graySpread);
    ColourTransfer t{};
    for (int k = 0; k < 3; ++k) {
        t.planeMean[k] = static_cast<float>(measured.lab.mean[k]);
        t.planeSpread[k] = static_cast<float>(measured.lab.deviation[k] + kStandardisingMargin);
    }
    t.grayMean = grayMean;
    t.grayDivisor = graySpread + 1e-5f;
    t.graySpread = (1.0f - kLuminanceWeight) * graySpread + kLuminanceWeight * targets[8];
    t.grayOffset = kLuminanceWeight * targets[7] + (1.0f - kLuminanceWeight) * grayMean;
    t.lightnessScale = kColourWeight * targets[3] + (1.0f - kColourWeight) * static_cast<float>(measured.lab.deviation[0]);
    t.lightnessOffset = kColourWeight * targets[0] + (1.0f - kColourWeight) * t.planeMean[0];
    t.keep = static_cast<float>(a);
    t.mix = static_cast<float>(b);
    t.alphaScale = targets[4];
    t.alphaOffset = targets[1];
    t.betaScale = targets[5];
    t.betaOffset = targets[2];
    t.strength = strength;
    return t;
}

// Grey bytes as numbers 0..1, kLanes<F> at a time.
template <class F>
[[gnu::always_inline]] inline F grayLevels(const uint8_t* gray) {
    if constexpr (std::is_same_v<F, float>) {
        return gray[0] * (1.0f / 255.0f);
    } else {
        using Bytes4 = uint8_t __attribute__((vector_size(4)));
        using Bytes8 = uint8_t __attribute__((vector_size(8)));
        using Bytes16 = uint8_t __attribute__((vector_size(16)));
        std::conditional_t<kLanes<F> == 4, Bytes4, std::conditional_t<kLanes<F> == 8, Bytes8, Bytes16>> bytes;
        std::memcpy(&bytes, gray, sizeof bytes);
        return __builtin_convertvector(bytes, F) * (1.0f / 255.0f);
    }
}

// Several pixels at a time (or one): the matched colour scaled to the input's grey level, mixed with the input,
// clamped to 0..255 and premultiplied. `Rounded` rounds the bytes to nearest (ties to even);
// otherwise they are truncated.
template <bool Rounded, class F, class P>
[[gnu::always_inline]] inline Bgr<F> transferredPixel(const P& pixel, const Lab<F>& lab, F grayLevel,
                                                      const ColourTransfer& t) {
    const Lab<F> z{(lab.l - t.planeMean[0]) / t.planeSpread[0], (lab.alpha - t.planeMean[1]) / t.planeSpread[1],
                   (lab.beta - t.planeMean[2]) / t.planeSpread[2]};
    const F y = atLeast(F((grayLevel - t.grayMean) / t.grayDivisor * t.graySpread + t.grayOffset), 0.0f);
    const Lab<F> matched{t.lightnessScale * z.l + t.lightnessOffset,
                         (t.keep * z.alpha + t.mix * z.beta) * t.alphaScale + t.alphaOffset,
                         (t.keep * z.beta + t.mix * z.alpha) * t.betaScale + t.betaOffset};
    const Bgr<F> colour = bgrOf(matched);
    const F luminance = atLeast(F(0.299f * colour.r + 0.587f * colour.g + 0.114f * colour.b), 1.0f / 255.0f);
    const auto channel = [&](F matchedChannel, F input) __attribute__((always_inline)) {
        const F value = clamped(F(matchedChannel / luminance * y * 255.0f * t.strength + input * (1.0f - t.strength)),
                                0.0f, 255.0f);
        const F premultiplied = pixel.alpha * value / 255.0f;
        if constexpr (Rounded) return roundedToEven(premultiplied);
        else return premultiplied;
    };
    return {channel(colour.b, pixel.colour.b), channel(colour.g, pixel.colour.g), channel(colour.r, pixel.colour.r)};
}

// Back conversion of one row of the region: as many pixels at a time as `path` allows, with
// rounding, when `vectorised` (the region's width is then a multiple of 4); otherwise one at a time
// with truncation.
void transferRow(const uint8_t* pixel, uint8_t* target, const LabPlanes& planes, const uint8_t* gray, int y, int width,
                 bool vectorised, tessel::SimdPath path, const ColourTransfer& transfer) {
    const float* l = planes.row(0, y);
    const float* alpha = planes.row(1, y);
    const float* beta = planes.row(2, y);
    forEachPixel(width, vectorised, path, [&](auto lanes, int x) __attribute__((always_inline)) {
        using F = decltype(lanes);
        const Lab<F> lab{loadLanes<F>(l + x), loadLanes<F>(alpha + x), loadLanes<F>(beta + x)};
        storePixels(target + 4 * x,
                    transferredPixel<!std::is_same_v<F, float>>(loadPixels<F>(pixel + 4 * x), lab,
                                                                grayLevels<F>(gray + x), transfer),
                    pixel + 4 * x);
    });
}

// Bytes from a valid frame's first pixel to its last one. The last row ends with its pixels: a host
// may hand a frame that ends there (the bottom rows of a larger picture), so the padding a full
// stride would add after it need not exist.
std::size_t spannedBytes(const Frame& frame) {
    return static_cast<std::size_t>(frame.stride) * static_cast<std::size_t>(frame.height - 1) +
           static_cast<std::size_t>(frame.width) * Frame::kChannels;
}

// Both frames valid, the output covering the input, and the memory behind them mapped: the input
// readable and the output writable over every byte of their rows.
bool buffersUsable(const Frame& in, const Frame& out) {
    if (!out.canHold(in)) return false;
    return platform::isReadable(in.data, spannedBytes(in)) && platform::isWritable(out.data, spannedBytes(out));
}

bool aligned(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer) % 16 == 0; }

}  // namespace

void correlationWeights(double measured, double target, double& a, double& b) {
    const double p = std::sqrt((target + 1) / (measured + 1));
    const double q = std::sqrt((1 - target) / (1 - measured));
    a = 0.5 * q + 0.5 * p;
    b = 0.5 * p - 0.5 * q;
    if (std::abs(b) > 0.5 * std::abs(a)) {
        b = std::copysign(0.5 * a, b);
        const double norm = std::sqrt(b * b + a * a + 2 * a * b * measured);
        a /= norm;
        b /= norm;
    }
}

}  // namespace V2Utils

const tessel::ParamTable<NLEMatchColorEffectV2> NLEMatchColorEffectV2::kParams{
    {"f0", &NLEMatchColorEffectV2::meanL, 0.0},
    {"f1", &NLEMatchColorEffectV2::meanAlpha, 0.0},
    {"f2", &NLEMatchColorEffectV2::meanBeta, 0.0},
    {"f3", &NLEMatchColorEffectV2::deviationL, 0.0},
    {"f4", &NLEMatchColorEffectV2::deviationAlpha, 0.0},
    {"f5", &NLEMatchColorEffectV2::deviationBeta, 0.0},
    {"f6", &NLEMatchColorEffectV2::correlation, 0.0},
    {"f7", &NLEMatchColorEffectV2::grayMean, 0.0},
    {"f8", &NLEMatchColorEffectV2::graySpread, 0.0},
    {"Enabled", &NLEMatchColorEffectV2::enabled, 0.0},
    {"strength", &NLEMatchColorEffectV2::strengthPercent, 100.0}};

int32_t NLEMatchColorEffectV2::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                         uint8_t*, int32_t, int32_t, int32_t, uint8_t* src, int32_t srcWidth,
                                         int32_t srcHeight, int32_t srcStride) {
    using namespace V2Utils;
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (!buffersUsable(in, out)) {
        hostLog(LogLevel::Error, "file[%s], line[%d]", kSourceName, kBufferCheckLine);
        return 3;
    }
    bool vectorised = true;
    if (!aligned(in.data) || !aligned(out.data)) {
        hostLog(LogLevel::Diagnostic, "ptr not aligned:src[%p] dst[%p]", static_cast<void*>(in.data),
                static_cast<void*>(out.data));
        vectorised = false;
    }

    tessel::readParams(*this, kParams);
    const float targets[9] = {meanL,         meanAlpha,   meanBeta, deviationL, deviationAlpha,
                              deviationBeta, correlation, grayMean, graySpread};
    float sum = 0.0f;
    for (const float target : targets) sum += std::abs(target);
    if (strengthPercent == 0 || enabled == 0 || sum < 1e-9f) {
        tessel::copyFrame(in, out);
        return 0;
    }

    const InexactIppScope ipp;
    const cv::Rect region = nonBlackRegion(in, gray);
    if (region.area() < 1 || region.size() != in.size()) tessel::copyFrame(in, out);
    if (region.area() < 1) return 0;

    vectorised = vectorised && region.width * 4 % 16 == 0;
    RegionStatistics measured;
    if (!measureRegion(in, gray, region, planes, vectorised, simdPath_, measured)) {
        hostLog(LogLevel::Error, "file:%s, line:%d", kSourceName, kAllocationLine);
        tessel::copyFrame(in, out);
        return 0;
    }

    const ColourTransfer transfer = prepareTransfer(measured, targets, static_cast<float>(strengthPercent) / 100.0f);
    cv::parallel_for_(cv::Range(0, region.height), [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            transferRow(in.row(region.y + y) + 4 * region.x, out.row(region.y + y) + 4 * region.x, planes,
                        gray.ptr<uint8_t>(region.y + y) + region.x, y, region.width, vectorised, simdPath_, transfer);
        }
    });
    return 0;
}
