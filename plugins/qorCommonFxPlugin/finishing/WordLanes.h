#pragma once
// 16-bit lanes of the three instruction sets, for the narrow blurs whose sums fit in 16 bits: one
// loop serves SSE2, AVX2 and AVX-512 through these types. Their functions carry their instruction
// set and are inlined once the loop sits in a kernel built for it.

#include <cstdint>

#include <immintrin.h>

#include <opencv2/core.hpp>

#include "framework/SimdDispatch.h"

// The 32- and 64-byte lane values pass only between functions inlined into kernels built for
// their instruction set, so the ABI warning about them does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace finishing::wordLanes {

// widen: kLanes bytes as 16-bit lanes; quotient: ((a * multiplier) >> 16) >> shift, unsigned;
// narrow: stores the lanes, all below 256, as bytes.
struct Sse2Lanes {
    using V = __m128i;
    static constexpr int kLanes = 8;
    static V widen(const uint8_t* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static V load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(uint16_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static V add(V a, V b) { return _mm_add_epi16(a, b); }
    static V set(uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static V multiply(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V shiftRight(V a, int shift) { return _mm_srl_epi16(a, _mm_cvtsi32_si128(shift)); }
    static V bitAnd(V a, V b) { return _mm_and_si128(a, b); }
    static V quotient(V a, V multiplier, int shift) {
        return _mm_srl_epi16(_mm_mulhi_epu16(a, multiplier), _mm_cvtsi32_si128(shift));
    }
    static void narrow(uint8_t* p, V v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
    }
};

struct Avx2Lanes {
    using V = __m256i;
    static constexpr int kLanes = 16;
    QOR_TARGET_AVX2 static V widen(const uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    QOR_TARGET_AVX2 static V load(const uint16_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    QOR_TARGET_AVX2 static void store(uint16_t* p, V v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    QOR_TARGET_AVX2 static V add(V a, V b) { return _mm256_add_epi16(a, b); }
    QOR_TARGET_AVX2 static V set(uint16_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    QOR_TARGET_AVX2 static V multiply(V a, V b) { return _mm256_mullo_epi16(a, b); }
    QOR_TARGET_AVX2 static V shiftRight(V a, int shift) { return _mm256_srl_epi16(a, _mm_cvtsi32_si128(shift)); }
    QOR_TARGET_AVX2 static V bitAnd(V a, V b) { return _mm256_and_si256(a, b); }
    QOR_TARGET_AVX2 static V quotient(V a, V multiplier, int shift) {
        return _mm256_srl_epi16(_mm256_mulhi_epu16(a, multiplier), _mm_cvtsi32_si128(shift));
    }
    QOR_TARGET_AVX2 static void narrow(uint8_t* p, V v) {
        const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
    }
};

struct Avx512Lanes {
    using V = __m512i;
    static constexpr int kLanes = 32;
    QOR_TARGET_AVX512 static V widen(const uint8_t* p) {
        return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    }
    QOR_TARGET_AVX512 static V load(const uint16_t* p) { return _mm512_loadu_si512(p); }
    QOR_TARGET_AVX512 static void store(uint16_t* p, V v) { _mm512_storeu_si512(p, v); }
    QOR_TARGET_AVX512 static V add(V a, V b) { return _mm512_add_epi16(a, b); }
    QOR_TARGET_AVX512 static V set(uint16_t v) { return _mm512_set1_epi16(static_cast<short>(v)); }
    QOR_TARGET_AVX512 static V multiply(V a, V b) { return _mm512_mullo_epi16(a, b); }
    QOR_TARGET_AVX512 static V shiftRight(V a, int shift) { return _mm512_srl_epi16(a, _mm_cvtsi32_si128(shift)); }
    QOR_TARGET_AVX512 static V bitAnd(V a, V b) { return _mm512_and_si512(a, b); }
    QOR_TARGET_AVX512 static V quotient(V a, V multiplier, int shift) {
        return _mm512_srl_epi16(_mm512_mulhi_epu16(a, multiplier), _mm_cvtsi32_si128(shift));
    }
    QOR_TARGET_AVX512 static void narrow(uint8_t* p, V v) {
        // The zero-masking form, whose unmasked twin trips GCC 12's uninitialised-value warning.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_maskz_cvtepi16_epi8(~__mmask32{0}, v));
    }
};

// Fills the `radius` pixels (four values each) on both sides of a row of `width` pixels at
// `inside` with the row's own values, reflected as BORDER_REFLECT_101 does.
inline void reflectRowEnds(uint16_t* inside, int width, int radius) {
    constexpr int kChannels = 4;
    for (int x = 1; x <= radius; ++x) {
        const int left = cv::borderInterpolate(-x, width, cv::BORDER_REFLECT_101);
        const int right = cv::borderInterpolate(width - 1 + x, width, cv::BORDER_REFLECT_101);
        for (int c = 0; c < kChannels; ++c) {
            inside[kChannels * -x + c] = inside[kChannels * left + c];
            inside[kChannels * (width - 1 + x) + c] = inside[kChannels * right + c];
        }
    }
}

}  // namespace finishing::wordLanes
