#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"

#include <algorithm>
#include <cmath>

#include <opencv2/core/hal/intrin.hpp>

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
// Band settings up to this size keep every step of the four-pixel path finite, as in the
// single-pixel path.
constexpr float kVectorLimit = 1e6f;

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
            const cv::Range rows = stripeRows(i, in_.height, colour::kStripes);
            for (int y = rows.start; y < rows.end; ++y) effect_.adjustHSLRow(in_.row(y), out_.row(y), in_.width);
        }
    }

private:
    const Frame& out_;
    const Frame& in_;
    const NLEHSLEffect& effect_;
};

}  // namespace

NLEHSLEffect::NLEHSLEffect(NLEFilterInfoPtr info)
    : NLEEffectFilter(std::move(info)),
      bounds_{{{315, 45}, {0, 60}, {15, 105}, {75, 165}, {255, 345}, {240, 300}, {195, 285}, {135, 225}}} {
    kParams.setDefaults(*this);
}

const ParamTable<NLEHSLEffect> NLEHSLEffect::kParams{
    {"bEnableHSL", &NLEHSLEffect::enabled_},
    {"Red_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[0]; }},
    {"Red_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[1]; }},
    {"Red_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[2]; }},
    {"Orange_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[3]; }},
    {"Orange_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[4]; }},
    {"Orange_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[5]; }},
    {"Yellow_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[6]; }},
    {"Yellow_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[7]; }},
    {"Yellow_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[8]; }},
    {"Green_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[9]; }},
    {"Green_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[10]; }},
    {"Green_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[11]; }},
    {"Magenta_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[12]; }},
    {"Magenta_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[13]; }},
    {"Magenta_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[14]; }},
    {"Purple_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[15]; }},
    {"Purple_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[16]; }},
    {"Purple_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[17]; }},
    {"Blue_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[18]; }},
    {"Blue_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[19]; }},
    {"Blue_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[20]; }},
    {"Aqua_hueVal", +[](NLEHSLEffect& e) -> float& { return e.values_[21]; }},
    {"Aqua_satVal", +[](NLEHSLEffect& e) -> float& { return e.values_[22]; }},
    {"Aqua_brightnessVal", +[](NLEHSLEffect& e) -> float& { return e.values_[23]; }}};

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
    vectorSafe_ = std::all_of(settings_.begin(), settings_.end(), [](const BandSetting& s) {
        return std::abs(s.hueShift) <= kVectorLimit && std::abs(s.saturation) <= kVectorLimit &&
               std::abs(s.lightness) <= kVectorLimit;
    });
    return true;
}

void NLEHSLEffect::adjustHSLRow(const uint8_t* in, uint8_t* out, int count) const {
    int x = 0;
#if CV_SIMD128
    if (vectorSafe_) {
        for (; x + 4 <= count; x += 4) adjustFourPixels(in + 4 * x, out + 4 * x);
    }
#endif
    for (; x < count; ++x) adjustHSLPixel(in + 4 * x, out + 4 * x);
}

#if CV_SIMD128
void NLEHSLEffect::adjustFourPixels(const uint8_t* in, uint8_t* out) const {
    using cv::v_float32x4;
    using cv::v_select;
    const auto all = [](float v) { return cv::v_setall_f32(v); };
    const v_float32x4 zero = all(0.0f), one = all(1.0f), half = all(0.5f);
    const auto clamp01 = [&](const v_float32x4& v) { return cv::v_min(cv::v_max(v, zero), one); };

    const cv::v_uint32x4 pixels = cv::v_load(reinterpret_cast<const unsigned*>(in));
    const cv::v_uint32x4 byteMask = cv::v_setall_u32(0xFF);
    const auto channel = [&](const cv::v_uint32x4& bits) {
        return cv::v_cvt_f32(cv::v_reinterpret_as_s32(bits & byteMask)) * all(kByteScale);
    };
    const v_float32x4 r = channel(cv::v_shr<16>(pixels)), g = channel(cv::v_shr<8>(pixels)), b = channel(pixels);

    // To HSL, as colour::toHsl.
    const v_float32x4 mx = cv::v_max(cv::v_max(r, g), b), mn = cv::v_min(cv::v_min(r, g), b);
    const v_float32x4 grey = mx == mn;
    const v_float32x4 sum = mx + mn, range = mx - mn;
    v_float32x4 lightness = sum * half;
    // Each lane divides once, by the divisor of its own branch.
    v_float32x4 saturation = range / v_select(lightness < half, sum, all(2.0f) - sum);
    const v_float32x4 redMax = r == mx, greenMax = g == mx;
    const v_float32x4 slope = v_select(redMax, g - b, v_select(greenMax, b - r, r - g)) / range;
    v_float32x4 h = v_select(redMax, slope, slope + v_select(greenMax, all(2.0f), all(4.0f)));
    h = h * all(0.166667f);
    h = v_select(h < zero, h + one, h);
    v_float32x4 hue = v_select(grey, all(kGreyHue), h * all(360.0f));
    saturation = v_select(grey, zero, saturation);
    lightness = v_select(grey, r, lightness);

    for (int a = 0; a < activeCount_; ++a) {
        const int i = activeBands_[a];
        const BandSetting& s = settings_[i];
        const BandBounds& bb = bounds_[i];
        v_float32x4 inside, weight, shifted;
        if (i == kRed) {
            const float halfWidth = bb.upper;
            const v_float32x4 near = (hue >= zero) & (hue <= all(bb.upper));
            const v_float32x4 t = v_select(near, hue, all(360.0f) - hue) / all(halfWidth);
            inside = near | (hue >= all(bb.lower));
            weight = one - t;
            shifted = v_select(near, all(s.hueShift) + all(bb.upper - s.hueShift) * t,
                               all(bb.lower) + all(halfWidth + s.hueShift) * weight);
        } else {
            const float halfSpan = (bb.upper - bb.lower) * 0.5f;
            const float centre = bb.lower + halfSpan;
            const float target = centre + s.hueShift;
            const v_float32x4 below = hue <= all(centre);
            const v_float32x4 t = (hue - v_select(below, all(bb.lower), all(centre))) / all(halfSpan);
            inside = (all(bb.lower) <= hue) & (hue <= all(bb.upper));
            weight = v_select(below, t, one - t);
            shifted = v_select(below, all(target - bb.lower) * t + all(bb.lower), all(bb.upper - target) * t + all(target));
        }
        const v_float32x4 k = v_select(lightness < half, all(2.0f) * lightness, all(2.0f) - all(2.0f) * lightness);
        const v_float32x4 newSaturation = clamp01((one + all(s.saturation) * weight) * saturation);
        const v_float32x4 newLightness = clamp01((one + saturation * k * all(s.lightness) * weight) * lightness);
        shifted = v_select(shifted < zero, shifted + all(360.0f),
                           v_select(shifted > all(360.0f), shifted - all(360.0f), shifted));
        saturation = v_select(inside, newSaturation, saturation);
        lightness = v_select(inside, newLightness, lightness);
        hue = v_select(inside, shifted, hue);
    }

    // Back to channels, as colour::fromHsl.
    const v_float32x4 q = v_select(lightness < half, (one + saturation) * lightness,
                                   (saturation + lightness) - saturation * lightness);
    const v_float32x4 p = all(2.0f) * lightness - q;
    const v_float32x4 hh = hue * all(0.002778f);
    v_float32x4 tR = hh + all(0.333333f), tB = hh - all(0.333333f);
    tR = v_select(tR > one, tR - one, tR);
    tB = v_select(tB < zero, tB + one, tB);
    const v_float32x4 flat = saturation == zero;
    const auto toChannel = [&](const v_float32x4& t) {
        const v_float32x4 c = v_select(
            t < all(0.166667f), p + (q - p) * all(6.0f) * t,
            v_select(t < half, q, v_select(t < all(0.666667f), p + (all(0.666667f) - t) * (q - p) * all(6.0f), p)));
        const cv::v_int32x4 rounded = cv::v_round(v_select(flat, lightness, c) * all(255.0f));
        return cv::v_reinterpret_as_u32(cv::v_min(cv::v_max(rounded, cv::v_setzero_s32()), cv::v_setall_s32(255)));
    };
    const cv::v_uint32x4 result = toChannel(tB) | cv::v_shl<8>(toChannel(hh)) | cv::v_shl<16>(toChannel(tR)) |
                                  (pixels & cv::v_setall_u32(0xFF000000u));
    cv::v_store(reinterpret_cast<unsigned*>(out), result);
}
#endif

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
    readParams(*this, kParams);
    if (enabled_ == 0 || !prepareBands()) return 1;
    if (!colour::canRender(in, out)) return 1;

    const parallelAdjustHSL body(out, in, *this);
    colour::runStripes(in, body);
    return 0;
}

}  // namespace tessel
