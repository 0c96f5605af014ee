#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"

#include <algorithm>
#include <cmath>

#include <opencv2/core/hal/intrin.hpp>

#include <immintrin.h>

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
// Band settings up to this size keep every step of the four- and eight-pixel paths finite, as in the
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

namespace {

// One active band for the eight-lane path: its bounds and settings with the per-band terms of
// placeInRedBand and placeInBand worked out once per row.
struct BandTerms {
    bool red;
    float lower, upper;
    float divisor;               // the red band's half width, or another band's half span
    float centre;                // unused for red
    float nearStart, nearSlope;  // red: the hue at 0 and its change with t; others: below the centre
    float farStart, farSlope;    // red: towards 360, over the weight; others: above the centre
    float saturation, lightness;
};

BandTerms termsOf(bool red, const NLEHSLEffect::BandBounds& b, const NLEHSLEffect::BandSetting& s) {
    BandTerms terms{};
    terms.red = red;
    terms.lower = b.lower;
    terms.upper = b.upper;
    terms.saturation = s.saturation;
    terms.lightness = s.lightness;
    if (red) {
        const float halfWidth = b.upper;
        terms.divisor = halfWidth;
        terms.nearStart = s.hueShift;
        terms.nearSlope = b.upper - s.hueShift;
        terms.farStart = b.lower;
        terms.farSlope = halfWidth + s.hueShift;
        return terms;
    }
    const float halfSpan = (b.upper - b.lower) * 0.5f;
    const float target = b.lower + halfSpan + s.hueShift;
    terms.divisor = halfSpan;
    terms.centre = b.lower + halfSpan;
    terms.nearStart = b.lower;
    terms.nearSlope = target - b.lower;
    terms.farStart = target;
    terms.farSlope = b.upper - target;
    return terms;
}


// Eight-lane helpers for adjustEightPixels, mostly one AVX2 instruction each.
using Lanes = __m256;

[[gnu::target("avx2")]] inline Lanes all8(float v) { return _mm256_set1_ps(v); }
// mask ? a : b per lane.
[[gnu::target("avx2")]] inline Lanes pick(Lanes mask, Lanes a, Lanes b) { return _mm256_blendv_ps(b, a, mask); }
[[gnu::target("avx2")]] inline Lanes lessThan(Lanes a, Lanes b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
[[gnu::target("avx2")]] inline Lanes atMost(Lanes a, Lanes b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
[[gnu::target("avx2")]] inline Lanes equal(Lanes a, Lanes b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
[[gnu::target("avx2")]] inline bool anyLane(Lanes mask) { return _mm256_movemask_ps(mask) != 0; }
[[gnu::target("avx2")]] inline Lanes clamp01(Lanes v) {
    return _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), all8(1.0f));
}

// One byte of each pixel, as colour::toHsl receives it.
[[gnu::target("avx2")]] inline Lanes channelOf(__m256i bits) {
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_and_si256(bits, _mm256_set1_epi32(0xFF))), all8(kByteScale));
}

// The lanes whose hue lies in the band, as placeInRedBand and placeInBand decide it.
[[gnu::target("avx2")]] inline Lanes nearRedCentre(const BandTerms& band, Lanes hue) {
    return _mm256_and_ps(atMost(_mm256_setzero_ps(), hue), atMost(hue, all8(band.upper)));
}
[[gnu::target("avx2")]] inline Lanes insideBand(const BandTerms& band, Lanes hue) {
    if (band.red) return _mm256_or_ps(nearRedCentre(band, hue), atMost(all8(band.lower), hue));
    return _mm256_and_ps(atMost(all8(band.lower), hue), atMost(hue, all8(band.upper)));
}

// Weight and shifted hue in a band, as placeInRedBand and placeInBand compute them.
[[gnu::target("avx2")]] inline void placeInBand8(const BandTerms& band, Lanes hue, Lanes& weight, Lanes& shifted) {
    const Lanes one = all8(1.0f);
    if (band.red) {
        const Lanes near = nearRedCentre(band, hue);
        const Lanes t = _mm256_div_ps(pick(near, hue, _mm256_sub_ps(all8(360.0f), hue)), all8(band.divisor));
        weight = _mm256_sub_ps(one, t);
        shifted = pick(near, _mm256_add_ps(all8(band.nearStart), _mm256_mul_ps(all8(band.nearSlope), t)),
                       _mm256_add_ps(all8(band.farStart), _mm256_mul_ps(all8(band.farSlope), weight)));
        return;
    }
    const Lanes below = atMost(hue, all8(band.centre));
    const Lanes t =
        _mm256_div_ps(_mm256_sub_ps(hue, pick(below, all8(band.lower), all8(band.centre))), all8(band.divisor));
    weight = pick(below, t, _mm256_sub_ps(one, t));
    shifted = pick(below, _mm256_add_ps(_mm256_mul_ps(all8(band.nearSlope), t), all8(band.nearStart)),
                   _mm256_add_ps(_mm256_mul_ps(all8(band.farSlope), t), all8(band.farStart)));
}

// True when any lane's hue lies in one of the bands.
[[gnu::target("avx2")]] inline bool reachesAnyBand(const BandTerms* bands, int count, Lanes hue) {
    Lanes inside = _mm256_setzero_ps();
    for (int i = 0; i < count; ++i) inside = _mm256_or_ps(inside, insideBand(bands[i], hue));
    return anyLane(inside);
}

// One output byte per lane from its hue position t, as colour::hslChannel and toByte give it.
[[gnu::target("avx2")]] inline __m256i channelByte(Lanes p, Lanes q, Lanes t, Lanes flat, Lanes lightness) {
    const Lanes sixth = all8(0.166667f), twoThirds = all8(0.666667f), six = all8(6.0f);
    const Lanes span = _mm256_sub_ps(q, p);
    const Lanes rising = _mm256_add_ps(p, _mm256_mul_ps(_mm256_mul_ps(span, six), t));
    const Lanes falling = _mm256_add_ps(p, _mm256_mul_ps(_mm256_mul_ps(_mm256_sub_ps(twoThirds, t), span), six));
    const Lanes c = pick(lessThan(t, sixth), rising,
                         pick(lessThan(t, all8(0.5f)), q, pick(lessThan(t, twoThirds), falling, p)));
    const __m256i rounded = _mm256_cvtps_epi32(_mm256_mul_ps(pick(flat, lightness, c), all8(255.0f)));
    return _mm256_min_epi32(_mm256_max_epi32(rounded, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// NLEHSLEffect::adjustHSLPixel on eight pixels at once through `count` active bands, in the same
// single-precision steps as the four-pixel path.
[[gnu::target("avx2")]] void adjustEightPixels(const BandTerms* bands, int count, const uint8_t* in, uint8_t* out) {
    const Lanes zero = _mm256_setzero_ps(), one = all8(1.0f), half = all8(0.5f), two = all8(2.0f);
    const Lanes full = all8(360.0f);
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const Lanes r = channelOf(_mm256_srli_epi32(pixels, 16)), g = channelOf(_mm256_srli_epi32(pixels, 8));
    const Lanes b = channelOf(pixels);

    // To HSL, as colour::toHsl.
    const Lanes mx = _mm256_max_ps(_mm256_max_ps(r, g), b), mn = _mm256_min_ps(_mm256_min_ps(r, g), b);
    const Lanes grey = equal(mx, mn);
    const Lanes sum = _mm256_add_ps(mx, mn), range = _mm256_sub_ps(mx, mn);
    const Lanes redMax = equal(r, mx), greenMax = equal(g, mx);
    const Lanes slope = _mm256_div_ps(
        pick(redMax, _mm256_sub_ps(g, b), pick(greenMax, _mm256_sub_ps(b, r), _mm256_sub_ps(r, g))), range);
    Lanes h = pick(redMax, slope, _mm256_add_ps(slope, pick(greenMax, two, all8(4.0f))));
    h = _mm256_mul_ps(h, all8(0.166667f));
    h = pick(lessThan(h, zero), _mm256_add_ps(h, one), h);
    Lanes hue = pick(grey, all8(kGreyHue), _mm256_mul_ps(h, full));
    // A hue outside every active band changes nothing, and every 8-bit colour converts to HSL and
    // back to the bytes it came from, so such pixels are copied.
    if (!reachesAnyBand(bands, count, hue)) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), pixels);
        return;
    }
    Lanes lightness = _mm256_mul_ps(sum, half);
    const Lanes divisor = pick(lessThan(lightness, half), sum, _mm256_sub_ps(two, sum));
    Lanes saturation = pick(grey, zero, _mm256_div_ps(range, divisor));
    lightness = pick(grey, r, lightness);

    for (int i = 0; i < count; ++i) {
        const BandTerms& band = bands[i];
        const Lanes inside = insideBand(band, hue);
        if (!anyLane(inside)) continue;
        Lanes weight, shifted;
        placeInBand8(band, hue, weight, shifted);
        const Lanes k = pick(lessThan(lightness, half), _mm256_mul_ps(two, lightness),
                             _mm256_sub_ps(two, _mm256_mul_ps(two, lightness)));
        const Lanes newSaturation =
            clamp01(_mm256_mul_ps(_mm256_add_ps(one, _mm256_mul_ps(all8(band.saturation), weight)), saturation));
        const Lanes lightnessStep =
            _mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(saturation, k), all8(band.lightness)), weight);
        const Lanes newLightness = clamp01(_mm256_mul_ps(_mm256_add_ps(one, lightnessStep), lightness));
        shifted = pick(lessThan(shifted, zero), _mm256_add_ps(shifted, full),
                       pick(lessThan(full, shifted), _mm256_sub_ps(shifted, full), shifted));
        saturation = pick(inside, newSaturation, saturation);
        lightness = pick(inside, newLightness, lightness);
        hue = pick(inside, shifted, hue);
    }

    // Back to channels, as colour::fromHsl.
    const Lanes q = pick(lessThan(lightness, half), _mm256_mul_ps(_mm256_add_ps(one, saturation), lightness),
                         _mm256_sub_ps(_mm256_add_ps(saturation, lightness), _mm256_mul_ps(saturation, lightness)));
    const Lanes p = _mm256_sub_ps(_mm256_mul_ps(two, lightness), q);
    const Lanes hh = _mm256_mul_ps(hue, all8(0.002778f));
    Lanes tR = _mm256_add_ps(hh, all8(0.333333f)), tB = _mm256_sub_ps(hh, all8(0.333333f));
    tR = pick(lessThan(one, tR), _mm256_sub_ps(tR, one), tR);
    tB = pick(lessThan(tB, zero), _mm256_add_ps(tB, one), tB);
    const Lanes flat = equal(saturation, zero);
    const __m256i alpha = _mm256_and_si256(pixels, _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
    const __m256i result = _mm256_or_si256(
        _mm256_or_si256(channelByte(p, q, tB, flat, lightness),
                        _mm256_slli_epi32(channelByte(p, q, hh, flat, lightness), 8)),
        _mm256_or_si256(_mm256_slli_epi32(channelByte(p, q, tR, flat, lightness), 16), alpha));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), result);
}

// Sixteen-lane helpers for adjustSixteenPixels, the AVX-512 twins of the eight-lane ones; lane
// masks live in mask registers. GCC 12's AVX-512 intrinsics start from a deliberately undefined
// register, which -Wmaybe-uninitialized reports once inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
using Lanes16 = __m512;
using Mask16 = __mmask16;

QOR_TARGET_AVX512 inline Lanes16 all16(float v) { return _mm512_set1_ps(v); }
QOR_TARGET_AVX512 inline Lanes16 pick(Mask16 mask, Lanes16 a, Lanes16 b) { return _mm512_mask_blend_ps(mask, b, a); }
QOR_TARGET_AVX512 inline Mask16 lessThan(Lanes16 a, Lanes16 b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
QOR_TARGET_AVX512 inline Mask16 atMost(Lanes16 a, Lanes16 b) { return _mm512_cmp_ps_mask(a, b, _CMP_LE_OQ); }
QOR_TARGET_AVX512 inline Mask16 equal(Lanes16 a, Lanes16 b) { return _mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ); }
QOR_TARGET_AVX512 inline Lanes16 clamp01(Lanes16 v) {
    return _mm512_min_ps(_mm512_max_ps(v, _mm512_setzero_ps()), all16(1.0f));
}

QOR_TARGET_AVX512 inline Lanes16 channelOf(__m512i bits) {
    return _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_and_si512(bits, _mm512_set1_epi32(0xFF))), all16(kByteScale));
}

QOR_TARGET_AVX512 inline Mask16 nearRedCentre(const BandTerms& band, Lanes16 hue) {
    return atMost(_mm512_setzero_ps(), hue) & atMost(hue, all16(band.upper));
}
QOR_TARGET_AVX512 inline Mask16 insideBand(const BandTerms& band, Lanes16 hue) {
    if (band.red) return nearRedCentre(band, hue) | atMost(all16(band.lower), hue);
    return atMost(all16(band.lower), hue) & atMost(hue, all16(band.upper));
}

QOR_TARGET_AVX512 inline void placeInBand16(const BandTerms& band, Lanes16 hue, Lanes16& weight, Lanes16& shifted) {
    const Lanes16 one = all16(1.0f);
    if (band.red) {
        const Mask16 near = nearRedCentre(band, hue);
        const Lanes16 t = _mm512_div_ps(pick(near, hue, _mm512_sub_ps(all16(360.0f), hue)), all16(band.divisor));
        weight = _mm512_sub_ps(one, t);
        shifted = pick(near, _mm512_add_ps(all16(band.nearStart), _mm512_mul_ps(all16(band.nearSlope), t)),
                       _mm512_add_ps(all16(band.farStart), _mm512_mul_ps(all16(band.farSlope), weight)));
        return;
    }
    const Mask16 below = atMost(hue, all16(band.centre));
    const Lanes16 t =
        _mm512_div_ps(_mm512_sub_ps(hue, pick(below, all16(band.lower), all16(band.centre))), all16(band.divisor));
    weight = pick(below, t, _mm512_sub_ps(one, t));
    shifted = pick(below, _mm512_add_ps(_mm512_mul_ps(all16(band.nearSlope), t), all16(band.nearStart)),
                   _mm512_add_ps(_mm512_mul_ps(all16(band.farSlope), t), all16(band.farStart)));
}

QOR_TARGET_AVX512 inline bool reachesAnyBand(const BandTerms* bands, int count, Lanes16 hue) {
    Mask16 inside = 0;
    for (int i = 0; i < count; ++i) inside |= insideBand(bands[i], hue);
    return inside != 0;
}

QOR_TARGET_AVX512 inline __m512i channelByte(Lanes16 p, Lanes16 q, Lanes16 t, Mask16 flat, Lanes16 lightness) {
    const Lanes16 sixth = all16(0.166667f), twoThirds = all16(0.666667f), six = all16(6.0f);
    const Lanes16 span = _mm512_sub_ps(q, p);
    const Lanes16 rising = _mm512_add_ps(p, _mm512_mul_ps(_mm512_mul_ps(span, six), t));
    const Lanes16 falling = _mm512_add_ps(p, _mm512_mul_ps(_mm512_mul_ps(_mm512_sub_ps(twoThirds, t), span), six));
    const Lanes16 c = pick(lessThan(t, sixth), rising,
                           pick(lessThan(t, all16(0.5f)), q, pick(lessThan(t, twoThirds), falling, p)));
    const __m512i rounded = _mm512_cvtps_epi32(_mm512_mul_ps(pick(flat, lightness, c), all16(255.0f)));
    return _mm512_min_epi32(_mm512_max_epi32(rounded, _mm512_setzero_si512()), _mm512_set1_epi32(255));
}

// adjustEightPixels on sixteen pixels at once, step for step.
QOR_TARGET_AVX512 void adjustSixteenPixels(const BandTerms* bands, int count, const uint8_t* in, uint8_t* out) {
    const Lanes16 zero = _mm512_setzero_ps(), one = all16(1.0f), half = all16(0.5f), two = all16(2.0f);
    const Lanes16 full = all16(360.0f);
    const __m512i pixels = _mm512_loadu_si512(in);
    const Lanes16 r = channelOf(_mm512_srli_epi32(pixels, 16)), g = channelOf(_mm512_srli_epi32(pixels, 8));
    const Lanes16 b = channelOf(pixels);

    const Lanes16 mx = _mm512_max_ps(_mm512_max_ps(r, g), b), mn = _mm512_min_ps(_mm512_min_ps(r, g), b);
    const Mask16 grey = equal(mx, mn);
    const Lanes16 sum = _mm512_add_ps(mx, mn), range = _mm512_sub_ps(mx, mn);
    const Mask16 redMax = equal(r, mx), greenMax = equal(g, mx);
    const Lanes16 slope = _mm512_div_ps(
        pick(redMax, _mm512_sub_ps(g, b), pick(greenMax, _mm512_sub_ps(b, r), _mm512_sub_ps(r, g))), range);
    Lanes16 h = pick(redMax, slope, _mm512_add_ps(slope, pick(greenMax, two, all16(4.0f))));
    h = _mm512_mul_ps(h, all16(0.166667f));
    h = pick(lessThan(h, zero), _mm512_add_ps(h, one), h);
    Lanes16 hue = pick(grey, all16(kGreyHue), _mm512_mul_ps(h, full));
    if (!reachesAnyBand(bands, count, hue)) {
        _mm512_storeu_si512(out, pixels);
        return;
    }
    Lanes16 lightness = _mm512_mul_ps(sum, half);
    const Lanes16 divisor = pick(lessThan(lightness, half), sum, _mm512_sub_ps(two, sum));
    Lanes16 saturation = pick(grey, zero, _mm512_div_ps(range, divisor));
    lightness = pick(grey, r, lightness);

    for (int i = 0; i < count; ++i) {
        const BandTerms& band = bands[i];
        const Mask16 inside = insideBand(band, hue);
        if (inside == 0) continue;
        Lanes16 weight, shifted;
        placeInBand16(band, hue, weight, shifted);
        const Lanes16 k = pick(lessThan(lightness, half), _mm512_mul_ps(two, lightness),
                               _mm512_sub_ps(two, _mm512_mul_ps(two, lightness)));
        const Lanes16 newSaturation =
            clamp01(_mm512_mul_ps(_mm512_add_ps(one, _mm512_mul_ps(all16(band.saturation), weight)), saturation));
        const Lanes16 lightnessStep =
            _mm512_mul_ps(_mm512_mul_ps(_mm512_mul_ps(saturation, k), all16(band.lightness)), weight);
        const Lanes16 newLightness = clamp01(_mm512_mul_ps(_mm512_add_ps(one, lightnessStep), lightness));
        shifted = pick(lessThan(shifted, zero), _mm512_add_ps(shifted, full),
                       pick(lessThan(full, shifted), _mm512_sub_ps(shifted, full), shifted));
        saturation = pick(inside, newSaturation, saturation);
        lightness = pick(inside, newLightness, lightness);
        hue = pick(inside, shifted, hue);
    }

    const Lanes16 q = pick(lessThan(lightness, half), _mm512_mul_ps(_mm512_add_ps(one, saturation), lightness),
                           _mm512_sub_ps(_mm512_add_ps(saturation, lightness), _mm512_mul_ps(saturation, lightness)));
    const Lanes16 p = _mm512_sub_ps(_mm512_mul_ps(two, lightness), q);
    const Lanes16 hh = _mm512_mul_ps(hue, all16(0.002778f));
    Lanes16 tR = _mm512_add_ps(hh, all16(0.333333f)), tB = _mm512_sub_ps(hh, all16(0.333333f));
    tR = pick(lessThan(one, tR), _mm512_sub_ps(tR, one), tR);
    tB = pick(lessThan(tB, zero), _mm512_add_ps(tB, one), tB);
    const Mask16 flat = equal(saturation, zero);
    const __m512i alpha = _mm512_and_si512(pixels, _mm512_set1_epi32(static_cast<int>(0xFF000000u)));
    const __m512i result = _mm512_or_si512(
        _mm512_or_si512(channelByte(p, q, tB, flat, lightness),
                        _mm512_slli_epi32(channelByte(p, q, hh, flat, lightness), 8)),
        _mm512_or_si512(_mm512_slli_epi32(channelByte(p, q, tR, flat, lightness), 16), alpha));
    _mm512_storeu_si512(out, result);
}

// The leading pixels of a row that the path's wide lanes take; each returns how many it did. SSE2
// leaves the row to the four-pixel path.
int noWidePixels(const BandTerms*, int, const uint8_t*, uint8_t*, int) { return 0; }

QOR_TARGET_AVX2 int eightPixelsAtATime(const BandTerms* bands, int bandCount, const uint8_t* in, uint8_t* out,
                                       int count) {
    int x = 0;
    for (; x + 8 <= count; x += 8) adjustEightPixels(bands, bandCount, in + 4 * x, out + 4 * x);
    return x;
}

QOR_TARGET_AVX512 int sixteenPixelsAtATime(const BandTerms* bands, int bandCount, const uint8_t* in, uint8_t* out,
                                           int count) {
    int x = 0;
    for (; x + 16 <= count; x += 16) adjustSixteenPixels(bands, bandCount, in + 4 * x, out + 4 * x);
    for (; x + 8 <= count; x += 8) adjustEightPixels(bands, bandCount, in + 4 * x, out + 4 * x);
    return x;
}

const tessel::SimdKernels<int (*)(const BandTerms*, int, const uint8_t*, uint8_t*, int)> kWidePixels{
    noWidePixels, eightPixelsAtATime, sixteenPixelsAtATime};

}  // namespace

int NLEHSLEffect::adjustWidePixels(const uint8_t* in, uint8_t* out, int count) const {
    std::array<BandTerms, kBandCount> bands;
    for (int a = 0; a < activeCount_; ++a) {
        const int i = activeBands_[a];
        bands[a] = termsOf(i == kRed, bounds_[i], settings_[i]);
    }
    return kWidePixels.at(simdPath_)(bands.data(), activeCount_, in, out, count);
}

void NLEHSLEffect::adjustHSLRow(const uint8_t* in, uint8_t* out, int count) const {
    int x = 0;
    if (vectorSafe_) x = adjustWidePixels(in, out, count);
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
