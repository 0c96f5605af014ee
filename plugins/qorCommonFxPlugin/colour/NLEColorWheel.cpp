#include "plugins/qorCommonFxPlugin/colour/NLEColorWheel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <immintrin.h>

#include <opencv2/core/hal/intrin.hpp>

#include "compositing/BlendTables.h"
#include "compositing/ByteArithmetic.h"
#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/SimdDispatch.h"
#include "framework/copyPlane.h"
#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/colour/ColourFrames.h"
#include "plugins/qorCommonFxPlugin/colour/HslColour.h"

using tessel::Frame;
using Offsets = NLEColorWheel::Offsets;

namespace {

constexpr float kByteScale = 0.003922f;  // not 1/255: part of every result
constexpr float kPi = 3.141592653589793f;
constexpr float kHalfPi = 1.5707963267948966f;
constexpr float kLumaWeights[3] = {0.299f, 0.587f, 0.114f};  // red, green, blue
constexpr float kIdentity = 1e-6f;

// One hue segment of a colour offset table: start and end values of red, green and blue.
struct Segment {
    float lo, hi;
    float start[3], end[3];
};

// The first segment is closed at 0; every other one is open at its lower bound.
constexpr Segment kLiftGainTable[8] = {
    {0, 60, {0.3922f, -0.1f, -0.1f}, {0.055f, 0.03f, -0.4627f}},
    {60, 90, {0.055f, -0.055f, -0.4627f}, {-0.16f, 0.09f, -0.41f}},
    {90, 120, {-0.16f, 0.09f, -0.41f}, {-0.355f, 0.141f, -0.355f}},
    {120, 180, {-0.355f, 0.141f, -0.355f}, {-0.3922f, 0.1f, 0.1f}},
    {180, 240, {-0.3922f, 0.1f, 0.1f}, {-0.05f, -0.03f, 0.4627f}},
    {240, 270, {-0.05f, -0.03f, 0.4627f}, {0.16f, -0.09f, 0.42f}},
    {270, 300, {0.16f, -0.09f, 0.42f}, {0.36f, -0.14f, 0.35f}},
    {300, 360, {0.36f, -0.14f, 0.35f}, {0.3922f, -0.1f, -0.1f}},
};

constexpr Segment kGammaTable[8] = {
    {0, 60, {0.3922f, -0.023f, -0.023f}, {0.01f, 0.01f, -0.1f}},
    {60, 90, {0.01f, 0.01f, -0.1f}, {-0.036f, 0.025f, -0.09f}},
    {90, 120, {-0.036f, 0.025f, -0.09f}, {-0.08f, 0.045f, -0.075f}},
    {120, 180, {-0.08f, 0.045f, -0.075f}, {-0.086f, 0.032f, 0.032f}},
    {180, 240, {-0.086f, 0.032f, 0.032f}, {-0.008f, -0.008f, 1.4f}},
    {240, 270, {-0.008f, -0.008f, 1.4f}, {0.055f, -0.02f, 0.5f}},
    {270, 300, {0.055f, -0.02f, 0.5f}, {0.28f, -0.032f, 0.28f}},
    {300, 360, {0.28f, -0.032f, 0.28f}, {0.3922f, -0.023f, -0.023f}},
};

float wrapHue(float hue) {
    if (!std::isfinite(hue)) return 0.0f;
    if (hue >= 0.0f && hue <= 360.0f) return hue;
    const float wrapped = std::fmod(hue, 360.0f);
    return wrapped < 0.0f ? wrapped + 360.0f : wrapped;
}

Offsets tableOffsets(const Segment (&table)[8], float hue, float saturation) {
    const float h = wrapHue(hue);
    int i = 0;
    while (i < 7 && h > table[i].hi) ++i;
    const Segment& s = table[i];
    Offsets offsets{};
    for (int c = 0; c < 3; ++c) {
        offsets[c] = ((s.end[c] - s.start[c]) / (s.hi - s.lo) * (h - s.lo) + s.start[c]) * saturation;
    }
    return offsets;
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// sin of a single-precision argument, taken in double precision.
float sine(float argument) { return static_cast<float>(std::sin(static_cast<double>(argument))); }

uint8_t toByte(float channel) { return cv::saturate_cast<uint8_t>(channel * 255.0f); }

// Luminance tone curve sampled at every kCellsPerUnit-th of the input, with a per-cell bound on
// how far the exact curve can lie from the straight line between two samples. The bound is the
// largest second difference around the cell (at least eight times the interpolation error of a
// curve whose bend changes slowly over a few cells) plus room for single-precision rounding; the
// two cells at 0, where power curves bend without limit, have no bound.
class LuminanceSamples {
public:
    static constexpr int kCellsPerUnit = 4096;

    void build(float lift, float gamma, float gain, int32_t version) {
        values_.resize(kNodes);
        bounds_.assign(kNodes, std::numeric_limits<float>::infinity());
        for (int j = 0; j < kNodes; ++j) {
            values_[j] = NLEColorWheel::toneCurve(static_cast<float>(j) / kCellsPerUnit, lift, gamma, gain, version);
        }
        std::vector<float> bend(kNodes, std::numeric_limits<float>::infinity());
        for (int j = 1; j + 1 < kNodes; ++j) bend[j] = std::abs(values_[j - 1] - 2.0f * values_[j] + values_[j + 1]);
        for (int k = 2; k + 3 < kNodes; ++k) {
            bounds_[k] = std::max({bend[k - 1], bend[k], bend[k + 1], bend[k + 2]}) + kRounding;
        }
    }

    // Lowest and highest value the curve can have at y (y >= 0); false beyond the samples.
    bool bracket(float y, float& low, float& high) const {
        const float position = y * static_cast<float>(kCellsPerUnit);
        const int k = static_cast<int>(position);
        if (k + 1 >= kNodes) return false;
        const float line = values_[k] + (values_[k + 1] - values_[k]) * (position - static_cast<float>(k));
        low = line - bounds_[k];
        high = line + bounds_[k];
        return true;
    }

    const float* values() const { return values_.data(); }
    const float* bounds() const { return bounds_.data(); }

private:
    static constexpr int kNodes = kCellsPerUnit + 4;  // luminance reaches 1.0002
    static constexpr float kRounding = 4e-6f;
    std::vector<float> values_, bounds_;
};

// Everything a frame's pixels share: the wheel curves of each channel byte, the luminance terms,
// the luminance controls and the master values.
struct WheelPass {
    // Per channel (red, green, blue) and byte: the byte after its wheel curve, clamped to 0..1,
    // the byte's luminance term and the curved value's luminance term, side by side so that four
    // pixels' terms load as four vectors.
    struct ChannelTerms {
        float curved, luma, curvedLuma, unused;
    };
    ChannelTerms terms[3][256];
    float lift, gamma, gain;    // luminance controls
    int32_t version;
    float masters[3];
    bool saturationStep;
    bool sampled;  // the luminance curve is looked up in `samples` (exact only where it decides a byte)
    LuminanceSamples samples;
    const imageC::BlendTables* tables;
    tessel::SimdPath path;
};

// The masters change only the saturation: each sine curve's change of the luminance, summed,
// scales the HSL saturation.
void applyMasters(const WheelPass& pass, float& r, float& g, float& b) {
    colour::Hsl hsl = colour::toHsl(r, g, b, 0.0f);
    const float y = kLumaWeights[0] * r + kLumaWeights[1] * g + kLumaWeights[2] * b;
    const float change = (NLEColorWheel::toneCurve(y, -pass.masters[0], 0, 0, 1) - y) +
                         (NLEColorWheel::toneCurve(y, 0, -pass.masters[1], 0, 1) - y) +
                         (NLEColorWheel::toneCurve(y, 0, 0, -pass.masters[2], 1) - y);
    hsl.saturation = clamp01((std::clamp(change, -1.0f, 1.0f) + 1.0f) * hsl.saturation);
    colour::fromHsl(hsl, r, g, b);
}

// The output colour bytes (red, green, blue) of a pixel whose curved channels are `c` and whose
// curved luminance is `curvedLuma`, for the luminance target `target`.
void bytesFor(const float (&c)[3], float curvedLuma, float target, uint8_t (&bytes)[3]) {
    const float shift = target - curvedLuma;
    for (int i = 0; i < 3; ++i) bytes[i] = toByte(clamp01(c[i] + shift));
}

// One pixel's colour bytes, red first.
void wheelPixel(const WheelPass& pass, uint8_t r, uint8_t g, uint8_t b, uint8_t (&bytes)[3]) {
    const WheelPass::ChannelTerms &tr = pass.terms[0][r], &tg = pass.terms[1][g], &tb = pass.terms[2][b];
    const float c[3] = {tr.curved, tg.curved, tb.curved};
    const float luma = tr.luma + tg.luma + tb.luma;
    const float curvedLuma = tr.curvedLuma + tg.curvedLuma + tb.curvedLuma;
    if (pass.sampled) {
        // The bytes are monotonic in the target: where both ends of its bracket give the same
        // bytes, those are the exact ones.
        float low, high;
        if (pass.samples.bracket(luma, low, high)) {
            uint8_t upper[3];
            bytesFor(c, curvedLuma, clamp01(low), bytes);
            bytesFor(c, curvedLuma, clamp01(high), upper);
            if (bytes[0] == upper[0] && bytes[1] == upper[1] && bytes[2] == upper[2]) return;
        }
    }
    const float target = clamp01(NLEColorWheel::toneCurve(luma, pass.lift, pass.gamma, pass.gain, pass.version));
    if (!pass.saturationStep) {
        bytesFor(c, curvedLuma, target, bytes);
        return;
    }
    const float shift = target - curvedLuma;
    float r2 = clamp01(c[0] + shift), g2 = clamp01(c[1] + shift), b2 = clamp01(c[2] + shift);
    applyMasters(pass, r2, g2, b2);
    bytes[0] = toByte(r2);
    bytes[1] = toByte(g2);
    bytes[2] = toByte(b2);
}

// Writes the colour bytes (red first) premultiplied by `alpha`, and the alpha.
void writePremultiplied(const imageC::BlendTables& t, const uint8_t (&bytes)[3], uint8_t alpha, uint8_t* target) {
    target[0] = t.mul(bytes[2], alpha);
    target[1] = t.mul(bytes[1], alpha);
    target[2] = t.mul(bytes[0], alpha);
    target[3] = alpha;
}

void wheelOne(const WheelPass& pass, const uint8_t* pixel, uint8_t* target) {
    uint8_t bytes[3];
    const uint8_t alpha = pixel[3];
    wheelPixel(pass, pixel[2], pixel[1], pixel[0], bytes);
    writePremultiplied(*pass.tables, bytes, alpha, target);
}

#if CV_SIMD128
// wheelPixel's sampled path for four pixels at once, in the same single-precision steps; false,
// writing nothing, when the samples leave a byte of any of them undecided.
bool wheelFourSampled(const WheelPass& pass, const uint8_t* pixel, uint8_t* target) {
    // The terms of channel c (red first) of the four pixels, one vector per kind.
    cv::v_float32x4 curved[3], lumaTerms[3], curvedTerms[3];
    for (int c = 0; c < 3; ++c) {
        const auto load = [&](int i) { return cv::v_load(&pass.terms[c][pixel[4 * i + 2 - c]].curved); };
        cv::v_float32x4 unused;
        cv::v_transpose4x4(load(0), load(1), load(2), load(3), curved[c], lumaTerms[c], curvedTerms[c], unused);
    }
    const cv::v_float32x4 luma = lumaTerms[0] + lumaTerms[1] + lumaTerms[2];
    const cv::v_float32x4 curvedLuma = curvedTerms[0] + curvedTerms[1] + curvedTerms[2];
    const cv::v_float32x4 position = luma * cv::v_setall_f32(static_cast<float>(LuminanceSamples::kCellsPerUnit));
    const cv::v_int32x4 cell = cv::v_trunc(position);
    alignas(16) int k[4];
    cv::v_store(k, cell);
    const float* values = pass.samples.values();
    const float* bounds = pass.samples.bounds();
    const cv::v_float32x4 start(values[k[0]], values[k[1]], values[k[2]], values[k[3]]);
    const cv::v_float32x4 end(values[k[0] + 1], values[k[1] + 1], values[k[2] + 1], values[k[3] + 1]);
    const cv::v_float32x4 bound(bounds[k[0]], bounds[k[1]], bounds[k[2]], bounds[k[3]]);
    const cv::v_float32x4 zero = cv::v_setall_f32(0.0f), one = cv::v_setall_f32(1.0f);
    const cv::v_float32x4 scale = cv::v_setall_f32(255.0f);
    const auto clamp = [&](const cv::v_float32x4& v) { return cv::v_min(cv::v_max(v, zero), one); };
    const cv::v_float32x4 line = start + (end - start) * (position - cv::v_cvt_f32(cell));
    const cv::v_float32x4 lowShift = clamp(line - bound) - curvedLuma;
    const cv::v_float32x4 highShift = clamp(line + bound) - curvedLuma;
    cv::v_int32x4 bytes[3];
    for (int c = 0; c < 3; ++c) {
        bytes[c] = cv::v_round(clamp(curved[c] + lowShift) * scale);
        const cv::v_int32x4 high = cv::v_round(clamp(curved[c] + highShift) * scale);
        if (cv::v_check_any(bytes[c] != high)) return false;
    }
    // The colour bytes beside the input alpha, premultiplied by it; the alpha stays as it was.
    const cv::v_uint32x4 alphaMask = cv::v_setall_u32(0xFF000000u);
    const cv::v_uint32x4 input = cv::v_load(reinterpret_cast<const unsigned*>(pixel)) & alphaMask;
    const cv::v_uint32x4 colour = cv::v_reinterpret_as_u32(bytes[2] | cv::v_shl<8>(bytes[1]) | cv::v_shl<16>(bytes[0]));
    imageC::FourPixels lanes;
    cv::v_expand(cv::v_reinterpret_as_u8(colour | input), lanes.first, lanes.second);
    lanes.first = imageC::mul255(lanes.first, imageC::broadcastAlpha(lanes.first));
    lanes.second = imageC::mul255(lanes.second, imageC::broadcastAlpha(lanes.second));
    const cv::v_uint32x4 premultiplied = cv::v_reinterpret_as_u32(cv::v_pack(lanes.first, lanes.second));
    cv::v_store(reinterpret_cast<unsigned*>(target), (premultiplied & ~alphaMask) | input);
    return true;
}
#endif

// GCC 12's AVX-512 intrinsics start from a deliberately undefined register, which the
// uninitialised-value warnings report once inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// v limited to 0..1 as cv::v_min(cv::v_max(v, 0), 1) takes it.
QOR_TARGET_AVX512 inline __m512 clamp01(__m512 v) {
    return _mm512_min_ps(_mm512_max_ps(v, _mm512_setzero_ps()), _mm512_set1_ps(1.0f));
}

// wheelFourSampled for sixteen pixels with AVX-512, in the same single-precision steps. The curved
// channels are gathered by byte and their luminance terms multiplied out as prepareChannels does
// (gathers are the slow part); pixels whose bytes the samples leave undecided are left to
// wheelOne, the others written with a masked store (so that in place, an undecided pixel is still
// the input).
QOR_TARGET_AVX512 void wheelSixteenSampled(const WheelPass& pass, const uint8_t* pixel, uint8_t* target) {
    const __m512i input = _mm512_loadu_si512(pixel);
    __m512 curved[3], lumaTerms[3], curvedTerms[3];
    for (int c = 0; c < 3; ++c) {
        const __m512i byte = _mm512_and_si512(_mm512_srli_epi32(input, 8 * (2 - c)), _mm512_set1_epi32(0xFF));
        const __m512 weight = _mm512_set1_ps(kLumaWeights[c]);
        curved[c] = _mm512_i32gather_ps(_mm512_slli_epi32(byte, 2), &pass.terms[c][0].curved, 4);
        lumaTerms[c] = _mm512_mul_ps(weight, _mm512_mul_ps(_mm512_cvtepi32_ps(byte), _mm512_set1_ps(kByteScale)));
        curvedTerms[c] = _mm512_mul_ps(weight, curved[c]);
    }
    const __m512 luma = _mm512_add_ps(_mm512_add_ps(lumaTerms[0], lumaTerms[1]), lumaTerms[2]);
    const __m512 curvedLuma = _mm512_add_ps(_mm512_add_ps(curvedTerms[0], curvedTerms[1]), curvedTerms[2]);
    const __m512 position = _mm512_mul_ps(luma, _mm512_set1_ps(static_cast<float>(LuminanceSamples::kCellsPerUnit)));
    const __m512i cell = _mm512_cvttps_epi32(position);
    const __m512 start = _mm512_i32gather_ps(cell, pass.samples.values(), 4);
    const __m512 end = _mm512_i32gather_ps(cell, pass.samples.values() + 1, 4);
    const __m512 bound = _mm512_i32gather_ps(cell, pass.samples.bounds(), 4);
    const __m512 scale = _mm512_set1_ps(255.0f);
    const __m512 line = _mm512_add_ps(
        start, _mm512_mul_ps(_mm512_sub_ps(end, start), _mm512_sub_ps(position, _mm512_cvtepi32_ps(cell))));
    const __m512 lowShift = _mm512_sub_ps(clamp01(_mm512_sub_ps(line, bound)), curvedLuma);
    const __m512 highShift = _mm512_sub_ps(clamp01(_mm512_add_ps(line, bound)), curvedLuma);
    // The colour bytes premultiplied by the alpha: (byte · alpha + 127) / 255 as divide255 takes it.
    const __m512i alpha = _mm512_srli_epi32(input, 24);
    __mmask16 decided = 0xFFFF;
    __m512i output = _mm512_slli_epi32(alpha, 24);
    for (int c = 0; c < 3; ++c) {
        const __m512i low = _mm512_cvtps_epi32(_mm512_mul_ps(clamp01(_mm512_add_ps(curved[c], lowShift)), scale));
        const __m512i high = _mm512_cvtps_epi32(_mm512_mul_ps(clamp01(_mm512_add_ps(curved[c], highShift)), scale));
        decided &= _mm512_cmpeq_epi32_mask(low, high);
        const __m512i product = _mm512_add_epi32(_mm512_mullo_epi32(low, alpha), _mm512_set1_epi32(127));
        const __m512i premultiplied = _mm512_srli_epi32(_mm512_mullo_epi32(product, _mm512_set1_epi32(0x8081)), 23);
        output = _mm512_or_si512(output, _mm512_slli_epi32(premultiplied, 8 * (2 - c)));
    }
    _mm512_mask_storeu_epi32(target, decided, output);
    for (int i = 0; i < 16; ++i) {
        if (!(decided >> i & 1)) wheelOne(pass, pixel + 4 * i, target + 4 * i);
    }
}

// The leading pixels of a sampled row that the path's wide lanes take; each returns how many it
// did. SSE2 and AVX2 leave the row to the four-pixel path.
int noWidePixels(const WheelPass&, const uint8_t*, uint8_t*, int) { return 0; }

QOR_TARGET_AVX512 int sixteenPixelsAtATime(const WheelPass& pass, const uint8_t* pixel, uint8_t* target, int count) {
    int x = 0;
    for (; x + 16 <= count; x += 16) wheelSixteenSampled(pass, pixel + 4 * x, target + 4 * x);
    return x;
}

const tessel::SimdKernels<int (*)(const WheelPass&, const uint8_t*, uint8_t*, int)> kWideSampledPixels{
    noWidePixels, nullptr, sixteenPixelsAtATime};

void wheelRow(const WheelPass& pass, const uint8_t* pixel, uint8_t* target, int count) {
    int x = 0;
    if (pass.sampled) x = kWideSampledPixels.at(pass.path)(pass, pixel, target, count);
#if CV_SIMD128
    if (pass.sampled) {
        for (; x + 4 <= count; x += 4) {
            if (wheelFourSampled(pass, pixel + 4 * x, target + 4 * x)) continue;
            for (int i = x; i < x + 4; ++i) wheelOne(pass, pixel + 4 * i, target + 4 * i);
        }
    }
#endif
    for (; x < count; ++x) wheelOne(pass, pixel + 4 * x, target + 4 * x);
}

// Rows of the frame in eight stripes of equal height (the last takes the remainder).
class parallelColorWheel : public cv::ParallelLoopBody {
public:
    parallelColorWheel(const Frame& out, const Frame& in, const WheelPass& pass) : out_(out), in_(in), pass_(pass) {}

    void operator()(const cv::Range& stripes) const override {
        for (int i = stripes.start; i < stripes.end; ++i) {
            const cv::Range rows = tessel::stripeRows(i, in_.height, colour::kStripes);
            for (int y = rows.start; y < rows.end; ++y) wheelRow(pass_, in_.row(y), out_.row(y), in_.width);
        }
    }

private:
    const Frame& out_;
    const Frame& in_;
    const WheelPass& pass_;
};

bool isIdentity(const NLEColorWheel::Settings& s, const float (&masters)[3]) {
    const float hueSum =
        s.lift.saturation + s.lift.hue + s.gamma.hue + s.gamma.saturation + s.gain.hue + s.gain.saturation;
    const float still[] = {hueSum, s.lift.lightness, s.gamma.lightness, s.gain.lightness,
                           masters[0], masters[1], masters[2]};
    return std::all_of(std::begin(still), std::end(still), [](float v) { return std::abs(v) < kIdentity; });
}

void prepareChannels(WheelPass& pass, const NLEColorWheel::Settings& s) {
    const Offsets lift = NLEColorWheel::liftGainOffsets(s.lift.hue, s.lift.saturation);
    const Offsets gamma = NLEColorWheel::gammaOffsets(s.gamma.hue, s.gamma.saturation);
    const Offsets gain = NLEColorWheel::liftGainOffsets(s.gain.hue, s.gain.saturation);
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            const float x = static_cast<float>(v) * kByteScale;
            const float curved = clamp01(NLEColorWheel::toneCurve(x, lift[c], gamma[c], gain[c], s.version));
            pass.terms[c][v] = {curved, kLumaWeights[c] * x, kLumaWeights[c] * curved, 0.0f};
        }
    }
}

void prepareLuminance(WheelPass& pass, const NLEColorWheel::Settings& s) {
    pass.lift = s.lift.lightness * 0.251f;
    pass.gamma = s.gamma.lightness >= 0.0f ? s.gamma.lightness * 0.115f : s.gamma.lightness * 0.055f;
    pass.gain = s.gain.lightness * 0.251f;
    if (s.version == 1) {
        pass.lift *= 0.85f;
        pass.gain *= 0.85f;
        pass.gamma *= 2.0f;
    }
    pass.version = s.version;
    // The sample bounds hold for the gentle curves of the controls' ranges; other controls are
    // computed pixel by pixel.
    const auto gentle = [](float v) { return std::abs(v) <= 1.0f; };
    pass.sampled = !pass.saturationStep && gentle(pass.lift) && gentle(pass.gamma) && gentle(pass.gain);
    if (pass.sampled) pass.samples.build(pass.lift, pass.gamma, pass.gain, pass.version);
}

}  // namespace

Offsets NLEColorWheel::liftGainOffsets(float hue, float saturation) {
    return tableOffsets(kLiftGainTable, hue, saturation);
}

Offsets NLEColorWheel::gammaOffsets(float hue, float saturation) { return tableOffsets(kGammaTable, hue, saturation); }

float NLEColorWheel::toneCurve(float x, float lift, float gamma, float gain, int32_t version) {
    if (version != 1) {
        const float e = gamma >= 0.0f ? 1.0f / (1.0f + 9.0f * std::abs(gamma)) : 1.0f + 9.0f * std::abs(gamma);
        const float p = x > 0.0f ? powf(x, e) : x;
        return (p + (1.0f - x) * lift) + x * gain;
    }
    const float a = x < 0.5f ? std::max(x, 0.0f) : 0.5f;
    const float s1 = sine(a * kPi + kHalfPi);
    const float shadow = s1 > 0.0f ? powf(s1, 3.0f) * lift : 0.0f;
    const float s2 = sine(x * kPi);
    const float mid = s2 > 0.0f ? powf(s2, 3.0f) * gamma + x : x;
    const float b = x < 1.0f ? std::max(x, 0.5f) : 1.0f;
    const float s3 = sine(b * kPi - kHalfPi);
    const float highlight = s3 > 0.0f ? powf(s3, 3.0f) * gain : 0.0f;
    return (mid + shadow) + highlight;
}

float NLEColorWheel::masterValue(const Wheel& w) {
    const bool grey = std::abs(w.red - w.green) < 1e-6f && std::abs(w.red - w.blue) < 1e-6f;
    if (!grey || !(std::abs(w.red - w.lightness) > 1e-6f)) return 0.0f;
    return w.red >= 1.0f ? 1.0f : std::max(w.red, -1.0f);
}

const tessel::ParamTable<NLEColorWheel> NLEColorWheel::kParams{
    {"lift_hue", +[](NLEColorWheel& e) -> float& { return e.settings_.lift.hue; }},
    {"lift_saturation", +[](NLEColorWheel& e) -> float& { return e.settings_.lift.saturation; }},
    {"lift_lightness", +[](NLEColorWheel& e) -> float& { return e.settings_.lift.lightness; }},
    {"gamma_hue", +[](NLEColorWheel& e) -> float& { return e.settings_.gamma.hue; }},
    {"gamma_saturation", +[](NLEColorWheel& e) -> float& { return e.settings_.gamma.saturation; }},
    {"gamma_lightness", +[](NLEColorWheel& e) -> float& { return e.settings_.gamma.lightness; }},
    {"gain_hue", +[](NLEColorWheel& e) -> float& { return e.settings_.gain.hue; }},
    {"gain_saturation", +[](NLEColorWheel& e) -> float& { return e.settings_.gain.saturation; }},
    {"gain_lightness", +[](NLEColorWheel& e) -> float& { return e.settings_.gain.lightness; }},
    {"version", +[](NLEColorWheel& e) -> int32_t& { return e.settings_.version; }},
    {"lift_red", +[](NLEColorWheel& e) -> float& { return e.settings_.lift.red; }},
    {"lift_green", +[](NLEColorWheel& e) -> float& { return e.settings_.lift.green; }},
    {"lift_blue", +[](NLEColorWheel& e) -> float& { return e.settings_.lift.blue; }},
    {"gamma_red", +[](NLEColorWheel& e) -> float& { return e.settings_.gamma.red; }},
    {"gamma_green", +[](NLEColorWheel& e) -> float& { return e.settings_.gamma.green; }},
    {"gamma_blue", +[](NLEColorWheel& e) -> float& { return e.settings_.gamma.blue; }},
    {"gain_red", +[](NLEColorWheel& e) -> float& { return e.settings_.gain.red; }},
    {"gain_green", +[](NLEColorWheel& e) -> float& { return e.settings_.gain.green; }},
    {"gain_blue", +[](NLEColorWheel& e) -> float& { return e.settings_.gain.blue; }}};

int32_t NLEColorWheel::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                 uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                 uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!colour::canRender(in, out)) return 1;

    auto pass = std::make_unique<WheelPass>();
    pass->masters[0] = masterValue(settings_.lift);
    pass->masters[1] = masterValue(settings_.gamma);
    pass->masters[2] = masterValue(settings_.gain);
    if (isIdentity(settings_, pass->masters)) {
        tessel::copyFrame(in, out);
        return 0;
    }
    pass->saturationStep = settings_.version == 1 && (std::abs(pass->masters[0]) > 1e-5f ||
                                                      std::abs(pass->masters[1]) > 1e-6f ||
                                                      std::abs(pass->masters[2]) > 1e-5f);
    pass->tables = imageC::getBlendTables();
    pass->path = simdPath_;
    prepareChannels(*pass, settings_);
    prepareLuminance(*pass, settings_);

    const parallelColorWheel body(out, in, *pass);
    colour::runStripes(in, body);
    return 0;
}
