#include "plugins/qorCommonFxPlugin/finishing/NLEToneMapToSelectColor.h"

#include <algorithm>

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include "compositing/BlendTables.h"
#include "framework/ByteTableLookup.h"
#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"

// GCC 12's AVX-512 intrinsics start from a deliberately undefined register, which the
// uninitialised-value warnings report once inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

using tessel::Frame;

namespace {

using toneMapping::ToneMix;

// a * b / 255 rounded to nearest, as the multiply table holds it (a * b never lies halfway).
uint8_t multiplyRounded(int a, int b) {
    const int scaled = a * b + 128;
    return static_cast<uint8_t>((scaled + (scaled >> 8)) >> 8);
}

uint8_t channelOf(int32_t packed, int channel) { return static_cast<uint8_t>(packed >> (8 * channel)); }

ToneMix prepareMix(const imageC::BlendTables& t, int32_t dark, int32_t light, int strength, double greyMin,
                   double greyRange) {
    const uint8_t* add = t.table(imageC::BlendTables::Add);
    ToneMix mix{};
    for (int g = 0; g < 256; ++g) {
        // The 0.01 margin in the range keeps the position below 1: the brightest grey gets 254.
        const double position = std::clamp(g - greyMin, 0.0, 255.0) / greyRange;
        const auto u = static_cast<uint8_t>(static_cast<int>(static_cast<float>(position) * 255.0f));
        for (int c = 0; c < 3; ++c) {
            const uint8_t tone = add[t.mul(channelOf(dark, c), 255 - u) * 256 + t.mul(channelOf(light, c), u)];
            mix.toneOfGreyByChannel[c][g] = t.mul(tone, static_cast<uint8_t>(strength));
            mix.toneOfGrey[g] |= static_cast<uint32_t>(mix.toneOfGreyByChannel[c][g]) << (8 * c);
        }
    }
    mix.inputWeight = static_cast<uint8_t>(255 - strength);
    return mix;
}

// One pixel: add(tone weighted, input weighted) per colour channel (the add table saturates at
// 255), premultiplied by the input alpha.
void toneMapPixel(const ToneMix& mix, uint8_t grey, const uint8_t* pixel, uint8_t* target) {
    const uint32_t tone = mix.toneOfGrey[grey];
    const int alpha = pixel[3];
    for (int c = 0; c < 3; ++c) {
        const int mixed = std::min((tone >> (8 * c) & 0xFF) + multiplyRounded(pixel[c], mix.inputWeight), 255u);
        target[c] = multiplyRounded(mixed, alpha);
    }
    target[3] = static_cast<uint8_t>(alpha);
}

#if CV_SIMD128
// multiplyRounded on eight 16-bit lanes holding bytes.
cv::v_uint16x8 multiplyRounded(const cv::v_uint16x8& a, const cv::v_uint16x8& b) {
    const cv::v_uint16x8 scaled = cv::v_mul_wrap(a, b) + cv::v_setall_u16(128);
    return cv::v_shr<8>(scaled + cv::v_shr<8>(scaled));
}

cv::v_uint8x16 multiplyRounded(const cv::v_uint8x16& a, const cv::v_uint8x16& b) {
    cv::v_uint16x8 aLow, aHigh, bLow, bHigh;
    cv::v_expand(a, aLow, aHigh);
    cv::v_expand(b, bLow, bHigh);
    return cv::v_pack(multiplyRounded(aLow, bLow), multiplyRounded(aHigh, bHigh));
}

// toneMapPixel on four pixels at a time; returns how many pixels of the run it handled.
int toneMapVector(const ToneMix& mix, const uint8_t* grey, const uint8_t* pixel, uint8_t* target, int count) {
    const cv::v_uint8x16 inputWeight = cv::v_setall_u8(mix.inputWeight);
    const cv::v_uint32x4 alphaByte = cv::v_setall_u32(0xFF000000u);
    int x = 0;
    for (; x + 4 <= count; x += 4, pixel += 16, target += 16) {
        const cv::v_uint8x16 input = cv::v_load(pixel);
        const cv::v_uint32x4 tone(mix.toneOfGrey[grey[x]], mix.toneOfGrey[grey[x + 1]], mix.toneOfGrey[grey[x + 2]],
                                  mix.toneOfGrey[grey[x + 3]]);
        // Unsigned 8-bit addition saturates, as the add table does.
        const cv::v_uint8x16 mixed = cv::v_reinterpret_as_u8(tone) + multiplyRounded(input, inputWeight);
        const cv::v_uint32x4 alpha = cv::v_shr<24>(cv::v_reinterpret_as_u32(input));
        const cv::v_uint32x4 alphaEverywhere =
            alpha | cv::v_shl<8>(alpha) | cv::v_shl<16>(alpha) | cv::v_shl<24>(alpha);
        const cv::v_uint32x4 premultiplied =
            cv::v_reinterpret_as_u32(multiplyRounded(mixed, cv::v_reinterpret_as_u8(alphaEverywhere)));
        const cv::v_uint32x4 result = (premultiplied & ~alphaByte) | (cv::v_reinterpret_as_u32(input) & alphaByte);
        cv::v_store(target, cv::v_reinterpret_as_u8(result));
    }
    return x;
}
#endif

void toneMapRow(const ToneMix& mix, const uint8_t* grey, const uint8_t* pixel, uint8_t* target, int count) {
    int x = 0;
#if CV_SIMD128
    x = toneMapVector(mix, grey, pixel, target, count);
#endif
    for (; x < count; ++x) toneMapPixel(mix, grey[x], pixel + 4 * x, target + 4 * x);
}

// multiplyRounded on 32 16-bit lanes holding bytes: (s + (s >> 8)) >> 8 equals (s * 257) >> 16
// for every 16-bit s (they could differ only if the two bytes of s added up to 511).
QOR_TARGET_AVX512_VBMI __m512i multiplyRoundedLanes(__m512i a, __m512i b) {
    const __m512i scaled = _mm512_add_epi16(_mm512_mullo_epi16(a, b), _mm512_set1_epi16(128));
    return _mm512_mulhi_epu16(scaled, _mm512_set1_epi16(257));
}

// multiplyRounded on 64 byte pairs, widened to 16 bits and packed back in the same order.
QOR_TARGET_AVX512_VBMI __m512i multiplyRounded(__m512i a, __m512i b) {
    const __m512i zero = _mm512_setzero_si512();
    return _mm512_packus_epi16(multiplyRoundedLanes(_mm512_unpacklo_epi8(a, zero), _mm512_unpacklo_epi8(b, zero)),
                               multiplyRoundedLanes(_mm512_unpackhi_epi8(a, zero), _mm512_unpackhi_epi8(b, zero)));
}

// toneMapRow sixteen pixels at a time: each pixel's grey value is spread over its four bytes and
// looked up in the per-channel tone tables, which gives the toneOfGrey words without a gather.
QOR_TARGET_AVX512_VBMI void toneMapRowVbmi(const ToneMix& mix, const uint8_t* grey, const uint8_t* pixel,
                                           uint8_t* target, int count) {
    const tessel::ByteTableRegisters tones[3] = {tessel::loadByteTable(mix.toneOfGreyByChannel[0]),
                                                 tessel::loadByteTable(mix.toneOfGreyByChannel[1]),
                                                 tessel::loadByteTable(mix.toneOfGreyByChannel[2])};
    alignas(64) uint8_t spreadOrder[64], alphaOrder[64];
    for (int i = 0; i < 64; ++i) {
        spreadOrder[i] = static_cast<uint8_t>(i / 4);
        alphaOrder[i] = static_cast<uint8_t>((i % 16) / 4 * 4 + 3);  // within each 16-byte lane
    }
    const __m512i spread = _mm512_load_si512(spreadOrder), alphaEverywhere = _mm512_load_si512(alphaOrder);
    const __m512i inputWeight = _mm512_set1_epi8(static_cast<char>(mix.inputWeight));
    constexpr uint64_t kAlphaBytes = 0x8888888888888888ull;
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m512i input = _mm512_loadu_si512(pixel + 4 * x);
        const __m512i greys = _mm512_permutexvar_epi8(spread, _mm512_zextsi128_si512(_mm_loadu_si128(
                                                                  reinterpret_cast<const __m128i*>(grey + x))));
        __m512i tone = _mm512_setzero_si512();
        for (int c = 0; c < 3; ++c) {
            tone = _mm512_mask_blend_epi8(tessel::kChannelBytes[c], tone, tessel::lookUpBytes(tones[c], greys));
        }
        // Unsigned 8-bit addition saturates, as the add table does.
        const __m512i mixed = _mm512_adds_epu8(tone, multiplyRounded(input, inputWeight));
        const __m512i premultiplied = multiplyRounded(mixed, _mm512_shuffle_epi8(input, alphaEverywhere));
        _mm512_storeu_si512(target + 4 * x, _mm512_mask_blend_epi8(kAlphaBytes, premultiplied, input));
    }
    toneMapRow(mix, grey + x, pixel + 4 * x, target + 4 * x, count - x);
}

}  // namespace

const tessel::SimdKernels<toneMapping::ToneMapRowFn>& toneMapping::toneMapRowKernels() {
    static const tessel::SimdKernels<ToneMapRowFn> kernels{toneMapRow, nullptr,
                                                           tessel::machineRunsVbmi() ? toneMapRowVbmi : nullptr};
    return kernels;
}

const tessel::ParamTable<NLEToneMapToSelectColor> NLEToneMapToSelectColor::kParams{
    {"lightLuma", &NLEToneMapToSelectColor::lightLuma, 0xFFFFFF},
    {"darkLuma", &NLEToneMapToSelectColor::darkLuma, 0},
    {"Strength", &NLEToneMapToSelectColor::strengthPercent, 100}};

int32_t NLEToneMapToSelectColor::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                           uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                           int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                           int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!out.canHold(in)) return 1;

    cv::cvtColor(in.mat(), grey, cv::COLOR_BGRA2GRAY);
    double greyMin = 0, greyMax = 0;
    cv::minMaxLoc(grey, &greyMin, &greyMax);
    // Percentages outside 0..100 would index past the 8-bit tables.
    const int strength = static_cast<int>(std::clamp(strengthPercent, 0, 100) / 100.0 * 255.0);
    const imageC::BlendTables& t = *imageC::getBlendTables();
    const ToneMix mix = prepareMix(t, darkLuma, lightLuma, strength, greyMin, greyMax - greyMin + 0.01);

    const toneMapping::ToneMapRowFn row = toneMapping::toneMapRowKernels().chosen();
    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) row(mix, grey.ptr<uint8_t>(y), in.row(y), out.row(y), in.width);
    });
    return 0;
}
