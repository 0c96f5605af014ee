#include "plugins/qorCommonFxPlugin/beauty/FaceBeautyBlend.h"

#include <immintrin.h>

#include <algorithm>

#include "compositing/ByteArithmetic.h"

namespace beauty {

LiftTables::LiftTables(const ColourTables& colourTables) : tables(colourTables) {
    for (int k = 0; k < 3; ++k) {
        evenShift[k] = tables[k][128] - 128;
        oddShift[k] = tables[k][129] - 129;
        for (int v = 0; v < 256; ++v) {
            const int shifted = v + (v % 2 ? oddShift[k] : evenShift[k]);
            shiftable = shiftable && tables[k][v] == std::clamp(shifted, 0, 255);
        }
    }
}

namespace {

// Two pixels per vector, then one at a time.
void layOverSse2(const uint8_t* s, const uint8_t* f, uint8_t* o, int count, const LiftTables& lift) {
    const ColourTables& tables = lift.tables;
    int x = 0;
#if CV_SIMD128
    const imageC::PixelLanes alphaLanes(0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF);
    const imageC::PixelLanes full = cv::v_setall_u16(255);
    for (; x + 2 <= count; x += 2) {
        const uint8_t* c = f + 4 * x;
        const imageC::PixelLanes colour(tables[0][c[0]], tables[1][c[1]], tables[2][c[2]], 0, tables[0][c[4]],
                                        tables[1][c[5]], tables[2][c[6]], 0);
        const imageC::PixelLanes source = cv::v_load_expand(s + 4 * x);
        const imageC::PixelLanes alpha = imageC::broadcastAlpha(source);
        const imageC::PixelLanes blended = imageC::mul255(colour, alpha) + imageC::mul255(source, full - alpha);
        cv::v_store_low(o + 4 * x, cv::v_pack(cv::v_select(alphaLanes, source, blended), blended));
    }
#endif
    for (; x < count; ++x) {
        const uint8_t* c = f + 4 * x;
        const uint8_t* p = s + 4 * x;
        uint8_t* q = o + 4 * x;
        const uint8_t a = p[3];
        for (int k = 0; k < 3; ++k) {
            q[k] = static_cast<uint8_t>(imageC::mul255(tables[k][c[k]], a) + imageC::mul255(p[k], 255 - a));
        }
        q[3] = a;
    }
}

// (x * y + 127) / 255 rounded as imageC::mul255 does, sixteen 16-bit lanes at a time.
QOR_TARGET_AVX2 inline __m256i mul255(__m256i x, __m256i y) {
    const __m256i product = _mm256_add_epi16(_mm256_mullo_epi16(x, y), _mm256_set1_epi16(127));
    return _mm256_srli_epi16(_mm256_mulhi_epu16(product, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Colour c over input p by alpha a, in 16-bit lanes.
QOR_TARGET_AVX2 inline __m256i layOverLanes(__m256i c, __m256i p, __m256i a) {
    return _mm256_add_epi16(mul255(c, a), mul255(p, _mm256_sub_epi16(_mm256_set1_epi16(255), a)));
}

// One byte vector per shift sign: each pixel's blue, green and red lanes hold the channel's
// shift (or its negation) held to 0..255, its alpha lane 0.
QOR_TARGET_AVX2 inline __m256i shiftLanes(const std::array<int, 3>& shift, int sign) {
    const auto lane = [&](int k) { return static_cast<char>(std::clamp(sign * shift[k], 0, 255)); };
    const __m128i pixel = _mm_setr_epi8(lane(0), lane(1), lane(2), 0, lane(0), lane(1), lane(2), 0, lane(0), lane(1),
                                        lane(2), 0, lane(0), lane(1), lane(2), 0);
    return _mm256_broadcastsi128_si256(pixel);
}

// Eight pixels per vector, colours shifted with saturation; tables that are not shifts and the
// last pixels go through the SSE2 version.
QOR_TARGET_AVX2 void layOverAvx2(const uint8_t* s, const uint8_t* f, uint8_t* o, int count, const LiftTables& lift) {
    int x = 0;
    if (lift.shiftable) {
        const __m256i upEven = shiftLanes(lift.evenShift, 1), upOdd = shiftLanes(lift.oddShift, 1);
        const __m256i downEven = shiftLanes(lift.evenShift, -1), downOdd = shiftLanes(lift.oddShift, -1);
        const __m256i one = _mm256_set1_epi8(1), zero = _mm256_setzero_si256();
        const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
        const __m256i spreadAlpha = _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3,
                                                     7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
        for (; x + 8 <= count; x += 8) {
            const __m256i smooth = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + 4 * x));
            const __m256i source = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * x));
            const __m256i odd = _mm256_cmpeq_epi8(_mm256_and_si256(smooth, one), one);
            const __m256i up = _mm256_blendv_epi8(upEven, upOdd, odd);
            const __m256i down = _mm256_blendv_epi8(downEven, downOdd, odd);
            const __m256i colour = _mm256_subs_epu8(_mm256_adds_epu8(smooth, up), down);
            const __m256i alpha = _mm256_shuffle_epi8(source, spreadAlpha);
            const __m256i low = layOverLanes(_mm256_unpacklo_epi8(colour, zero), _mm256_unpacklo_epi8(source, zero),
                                             _mm256_unpacklo_epi8(alpha, zero));
            const __m256i high = layOverLanes(_mm256_unpackhi_epi8(colour, zero), _mm256_unpackhi_epi8(source, zero),
                                              _mm256_unpackhi_epi8(alpha, zero));
            const __m256i blended = _mm256_packus_epi16(low, high);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 4 * x), _mm256_blendv_epi8(blended, source, alphaBytes));
        }
    }
    layOverSse2(s + 4 * x, f + 4 * x, o + 4 * x, count - x, lift);
}

}  // namespace

const tessel::SimdKernels<LayOver> kLayOver{layOverSse2, layOverAvx2};

}  // namespace beauty
