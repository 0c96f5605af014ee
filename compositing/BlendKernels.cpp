#include "compositing/BlendKernels.h"

#include <immintrin.h>

#include <array>
#include <cstring>
#include <iterator>

#include "compositing/BlendRules.h"
#include "compositing/BlendTables.h"

namespace imageC {
namespace sse2 {

template <class Rule>
void narrowRow(const Rule& rule, const uint8_t* s, uint8_t* d, int count) {
    rules::blendRow(rule, s, d, count);
}

constexpr BlendRowFn kRows[] = {
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams& p) {
        narrowRow(rules::ModeTable{p.table, p.strength}, s, d, n);
    },
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams& p) {
        narrowRow(rules::ModeTableCoverage{p.table, p.strength}, s, d, n);
    },
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams& p) {
        narrowRow(rules::NormalPremultiplied{p.strength}, s, d, n);
    },
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams& p) {
        narrowRow(rules::NormalStraight{p.strength}, s, d, n);
    },
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams&) { narrowRow(rules::NormalStraightFull{}, s, d, n); },
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams&) { narrowRow(rules::HollowIn{}, s, d, n); },
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams&) { narrowRow(rules::HollowOut{}, s, d, n); },
    [](const uint8_t* s, uint8_t* d, int n, const BlendRowParams&) { narrowRow(rules::TextBgHollowIn{}, s, d, n); },
};

}  // namespace sse2

#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {

constexpr int kLaneBytes = 32;
typedef uint16_t HalfOfLanes __attribute__((vector_size(16)));
typedef uint16_t WholeLanes __attribute__((vector_size(32)));

inline HalfOfLanes lowHalf(const WholeLanes& v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3, 4, 5, 6, 7); }
inline HalfOfLanes highHalf(const WholeLanes& v) { return __builtin_shufflevector(v, v, 8, 9, 10, 11, 12, 13, 14, 15); }
inline WholeLanes joinHalves(const HalfOfLanes& low, const HalfOfLanes& high) {
    return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}
inline __m256 squareRoot(const __m256& v) { return _mm256_sqrt_ps(v); }

#include "compositing/BlendLanes.inl"

}  // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl,avx512dq")
namespace avx512 {

constexpr int kLaneBytes = 64;
typedef uint16_t HalfOfLanes __attribute__((vector_size(32)));
typedef uint16_t WholeLanes __attribute__((vector_size(64)));

inline HalfOfLanes lowHalf(const WholeLanes& v) {
    return __builtin_shufflevector(v, v, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}
inline HalfOfLanes highHalf(const WholeLanes& v) {
    return __builtin_shufflevector(v, v, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
}
inline WholeLanes joinHalves(const HalfOfLanes& low, const HalfOfLanes& high) {
    return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                   21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
}
// The masked form, because the plain one starts from an undefined register GCC warns about.
inline __m512 squareRoot(const __m512& v) { return _mm512_mask_sqrt_ps(v, 0xFFFF, v); }

#include "compositing/BlendLanes.inl"

}  // namespace avx512
#pragma GCC pop_options

const tessel::SimdKernels<BlendRowFn>& blendRowKernels(BlendRowKind kind) {
    static const auto kernels = [] {
        std::array<tessel::SimdKernels<BlendRowFn>, std::size(kBlendRowKinds)> all{};
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = {sse2::kRows[i], avx2::kRows[i], avx512::kRows[i]};
        return all;
    }();
    return kernels[static_cast<std::size_t>(kind)];
}

}  // namespace imageC
