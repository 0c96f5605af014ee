#include "compositing/BlendKernels.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "compositing/BlendRules.h"
#include "compositing/BlendTables.h"

// GCC 12's AVX-512 intrinsics start from a deliberately undefined register, which the
// uninitialised-value warnings report once inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace imageC {
namespace sse2 {

// In BlendRowKind order.
constexpr BlendRowFn kRows[] = {
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams& p) {
        rules::blendRowOver(rules::ModeTable{p.table, p.strength}, s, b, d, n);
    },
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams& p) {
        rules::blendRowOver(rules::ModeTableCoverage{p.table, p.strength}, s, b, d, n);
    },
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams& p) {
        rules::blendRowOver(rules::NormalPremultiplied{p.strength}, s, b, d, n);
    },
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams& p) {
        rules::blendRowOver(rules::NormalStraight{p.strength}, s, b, d, n);
    },
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams&) {
        rules::blendRowOver(rules::NormalStraightFull{}, s, b, d, n);
    },
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams&) {
        rules::blendRowOver(rules::HollowIn{}, s, b, d, n);
    },
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams&) {
        rules::blendRowOver(rules::HollowOut{}, s, b, d, n);
    },
    [](const uint8_t* s, const uint8_t* b, uint8_t* d, int n, const BlendRowParams&) {
        rules::blendRowOver(rules::TextBgHollowIn{}, s, b, d, n);
    },
};

// Four pixels at a time, then one by one; sums above 255 (only possible when inverseAlpha is not
// 255 - the fill alpha) saturate in the final pack.
void shadeRow(uint8_t* pixel, int count, const ShadeParams& params) {
    const PixelLanes inverse = cv::v_setall_u16(params.inverseAlpha);
    const uint16_t* t = params.tint;
    const uint16_t tintLanes[8] = {t[0], t[1], t[2], 0, t[0], t[1], t[2], 0};
    const PixelLanes tints = cv::v_load(tintLanes);
    const PixelLanes colourLanes = cv::v_reinterpret_as_u16(cv::v_setall_u64(0x0000FFFFFFFFFFFFull));
    const auto shade = [&](const PixelLanes& p) {
        const PixelLanes shaded = mul255(mul255(p, broadcastAlpha(p)), inverse) + tints;
        return (shaded & colourLanes) | opaqueAlphaLanes();
    };
    int i = 0;
    for (; i + 4 <= count; i += 4, pixel += 16) {
        FourPixels four = loadFourPixels(pixel);
        four.first = shade(four.first);
        four.second = shade(four.second);
        storeFourPixels(pixel, four);
    }
    for (; i < count; ++i, pixel += 4) {
        const uint8_t alpha = pixel[3];
        for (int c = 0; c < 3; ++c) {
            pixel[c] = static_cast<uint8_t>(std::min(mul255(mul255(pixel[c], alpha), params.inverseAlpha) + t[c], 255));
        }
        pixel[3] = 255;
    }
}

}  // namespace sse2

// The wide paths, for the instruction sets of QOR_TARGET_AVX2 and QOR_TARGET_AVX512.

// Within each 16 bytes (two pixels as 16-bit lanes), the alpha lane of each pixel in all four of
// its lanes.
const __m128i kAlphaShuffle = _mm_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);

// Every function of each namespace below is compiled for its instruction set: GCC and clang spell
// that differently.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {

constexpr int kLaneBytes = 32;
typedef uint8_t Bytes __attribute__((vector_size(16)));
typedef uint16_t Words __attribute__((vector_size(32)));
inline Words widen(const Bytes& bytes) { return (Words)_mm256_cvtepu8_epi16((__m128i)bytes); }
inline Words mulHigh(const Words& a, const Words& b) { return (Words)_mm256_mulhi_epu16((__m256i)a, (__m256i)b); }
inline Words broadcastAlpha(const Words& p) {
    return (Words)_mm256_shuffle_epi8((__m256i)p, _mm256_broadcastsi128_si256(kAlphaShuffle));
}


#include "compositing/BlendLanes.inl"

}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512dq"))), apply_to = function)
#else
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl,avx512dq")
#endif
namespace avx512 {

constexpr int kLaneBytes = 64;
typedef uint8_t Bytes __attribute__((vector_size(32)));
typedef uint16_t Words __attribute__((vector_size(64)));
inline Words widen(const Bytes& bytes) { return (Words)_mm512_cvtepu8_epi16((__m256i)bytes); }
inline Words mulHigh(const Words& a, const Words& b) { return (Words)_mm512_mulhi_epu16((__m512i)a, (__m512i)b); }
inline Words broadcastAlpha(const Words& p) {
    return (Words)_mm512_shuffle_epi8((__m512i)p, _mm512_broadcast_i32x4(kAlphaShuffle));
}

#include "compositing/BlendLanes.inl"

}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const tessel::SimdKernels<BlendRowFn>& blendRowKernels(BlendRowKind kind) {
    static const auto kernels = [] {
        std::array<tessel::SimdKernels<BlendRowFn>, std::size(kBlendRowKinds)> all{};
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = {sse2::kRows[i], avx2::kRows[i], avx512::kRows[i]};
        return all;
    }();
    return kernels[static_cast<std::size_t>(kind)];
}

const tessel::SimdKernels<ShadeRowFn>& shadeRowKernels() {
    static const tessel::SimdKernels<ShadeRowFn> kernels{sse2::shadeRow, avx2::shadeRow, avx512::shadeRow};
    return kernels;
}

}  // namespace imageC
