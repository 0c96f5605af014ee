#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/colour/ColourFrames.h"
#include "plugins/qorCommonFxPlugin/colour/HslColour.h"

namespace tessel {

namespace {

constexpr float kByteScale = 0.003922f;  // not 1/255: part of every result
constexpr float kGreyHue = 0.6666667f * 360.0f;
constexpr float kZero = 1.1920929e-7f;  // single-precision machine epsilon
constexpr int kRed = 0;
constexpr int kStripes = 8;
constexpr long kSerialPixels = 10000;  // frames up to this size are processed on the calling thread

// Hue shift per unit of each band's hue value; saturation and lightness scale alike in every band.
constexpr float kHueScale[NLEHSLEffect::kBandCount] = {0.3f, 0.2f, 0.2f, 0.4f, 0.4f, 0.4f, 0.4f, 0.4f};
constexpr float kSaturationScale = 0.01f;
constexpr float kLightnessScale = 0.004f;

bool isZero(float v) { return std::abs(v) <= kZero; }

uint8_t toByte(float channel) { return cv::saturate_cast<uint8_t>(channel * 255.0f); }

// Where `hue` lies in a band: its weight w (1 at the centre, 0 at the bounds) and the shifted hue;
// false outside the band.
bool placeInRedBand(const NLEHSLEffect::BandBounds& b, float shift, float hue, float& weight, float& shifted) {
    const float halfWidth = b.upper;  // the band runs from 360 - halfWidth through 0 to halfWidth
    if (hue >= 0.0f && hue <= b.upper) {
        const float t = hue / halfWidth;
        weight = 1.0f - t;
        shifted = shift + (b.upper - shift) * t;
        return true;
    }
    if (hue < b.lower) return false;
    const float t = (360.0f - hue) / halfWidth;
    weight = 1.0f - t;
    shifted = b.lower + (halfWidth + shift) * weight;
    return true;
}

bool placeInBand(const NLEHSLEffect::BandBounds& b, float shift, float hue, float& weight, float& shifted) {
    if (!(b.lower <= hue && hue <= b.upper)) return false;
    const float half = (b.upper - b.lower) * 0.5f;
    const float centre = b.lower + half;
    const float target = centre + shift;
    if (hue <= centre) {
        weight = (hue - b.lower) / half;
        shifted = (target - b.lower) * weight + b.lower;
    } else {
        const float t = (hue - centre) / half;
        weight = 1.0f - t;
        shifted = (b.upper - target) * t + target;
    }
    return true;
}

// Band stripes of rows, eight of equal height (the last takes the remainder).
class parallelAdjustHSL : public cv::ParallelLoopBody {
public:
    parallelAdjustHSL(const Frame& out, const Frame& in, const NLEHSLEffect& effect)
        : out_(out), in_(in), effect_(effect) {}

    void operator()(const cv::Range& stripes) const override {
        for (int i = stripes.start; i < stripes.end; ++i) {
            const cv::Range rows = stripeRows(i, in_.height, kStripes);
            for (int y = rows.start; y < rows.end; ++y) adjustRow(in_.row(y), out_.row(y), in_.width);
        }
    }

private:
    // Runs of equal pixels are common in pictures: each is adjusted once.
    void adjustRow(const uint8_t* pixel, uint8_t* target, int count) const {
        uint32_t previous = 0;
        uint8_t result[4] = {};
        for (int x = 0; x < count; ++x, pixel += 4, target += 4) {
            uint32_t current;
            std::memcpy(&current, pixel, 4);
            if (x == 0 || current != previous) effect_.adjustHSLPixel(pixel, result);
            previous = current;
            std::memcpy(target, result, 4);
        }
    }

    const Frame& out_;
    const Frame& in_;
    const NLEHSLEffect& effect_;
};

}  // namespace

NLEHSLEffect::NLEHSLEffect(NLEFilterInfoPtr info)
    : NLEEffectFilter(std::move(info)),
      bounds_{{{315, 45}, {0, 60}, {15, 105}, {75, 165}, {255, 345}, {240, 300}, {195, 285}, {135, 225}}} {}

void NLEHSLEffect::readSettings() {
    float* v = values_.data();
    readParams(*this, {{"bEnableHSL", &enabled_},
                       {"Red_hueVal", v + 0},        {"Red_satVal", v + 1},      {"Red_brightnessVal", v + 2},
                       {"Orange_hueVal", v + 3},     {"Orange_satVal", v + 4},   {"Orange_brightnessVal", v + 5},
                       {"Yellow_hueVal", v + 6},     {"Yellow_satVal", v + 7},   {"Yellow_brightnessVal", v + 8},
                       {"Green_hueVal", v + 9},      {"Green_satVal", v + 10},   {"Green_brightnessVal", v + 11},
                       {"Magenta_hueVal", v + 12},   {"Magenta_satVal", v + 13}, {"Magenta_brightnessVal", v + 14},
                       {"Purple_hueVal", v + 15},    {"Purple_satVal", v + 16},  {"Purple_brightnessVal", v + 17},
                       {"Blue_hueVal", v + 18},      {"Blue_satVal", v + 19},    {"Blue_brightnessVal", v + 20},
                       {"Aqua_hueVal", v + 21},      {"Aqua_satVal", v + 22},    {"Aqua_brightnessVal", v + 23}});
}

bool NLEHSLEffect::prepareBands() {
    if (std::all_of(values_.begin(), values_.end(), isZero)) return false;
    activeCount_ = 0;
    for (int i = 0; i < kBandCount; ++i) {
        settings_[i] = {values_[3 * i] * kHueScale[i], values_[3 * i + 1] * kSaturationScale,
                        values_[3 * i + 2] * kLightnessScale};
        const BandSetting& s = settings_[i];
        // A band whose three values are all zero changes nothing and is skipped.
        if (!(isZero(s.hueShift) && isZero(s.saturation) && isZero(s.lightness))) activeBands_[activeCount_++] = i;
    }
    return true;
}

void NLEHSLEffect::adjustHSLPixel(const uint8_t* in, uint8_t* out) const {
    colour::Hsl c = colour::toHsl(in[2] * kByteScale, in[1] * kByteScale, in[0] * kByteScale, kGreyHue);
    for (int a = 0; a < activeCount_; ++a) {
        const int i = activeBands_[a];
        const BandSetting& s = settings_[i];
        float weight, hue;
        const bool inside = i == kRed ? placeInRedBand(bounds_[i], s.hueShift, c.hue, weight, hue)
                                      : placeInBand(bounds_[i], s.hueShift, c.hue, weight, hue);
        if (!inside) continue;
        // The lightness moves most at mid-lightness and not at all at black or white.
        const float k = c.lightness < 0.5f ? 2.0f * c.lightness : 2.0f - 2.0f * c.lightness;
        const float saturation = std::clamp((1.0f + s.saturation * weight) * c.saturation, 0.0f, 1.0f);
        c.lightness = std::clamp((1.0f + c.saturation * k * s.lightness * weight) * c.lightness, 0.0f, 1.0f);
        c.saturation = saturation;
        if (hue < 0.0f) hue += 360.0f;
        else if (hue > 360.0f) hue -= 360.0f;
        c.hue = hue;
    }
    float r, g, b;
    colour::fromHsl(c, r, g, b);
    out[0] = toByte(b);
    out[1] = toByte(g);
    out[2] = toByte(r);
    out[3] = in[3];
}

int32_t NLEHSLEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    readSettings();
    if (enabled_ == 0 || !prepareBands()) return 1;
    if (!colour::canRender(in, out)) return 1;

    const parallelAdjustHSL body(out, in, *this);
    if (static_cast<long>(in.width) * in.height > kSerialPixels) {
        cv::parallel_for_(cv::Range(0, kStripes), body, cv::getNumThreads());
    } else {
        body(cv::Range(0, kStripes));
    }
    return 0;
}

}  // namespace tessel
