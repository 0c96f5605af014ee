#include "compositing/BlendKernels.h"

#include <immintrin.h>

#include <array>
#include <cstring>
#include <iterator>

#include "compositing/BlendRules.h"

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
typedef uint32_t GatherIndex __attribute__((vector_size(32)));
typedef uint16_t HalfOfLanes __attribute__((vector_size(16)));
typedef uint16_t WholeLanes __attribute__((vector_size(32)));

inline GatherIndex gatherWords(const int* words, const GatherIndex& index) {
    return (GatherIndex)_mm256_mask_i32gather_epi32(_mm256_setzero_si256(), words, (__m256i)index, _mm256_set1_epi32(-1), 4);
}

inline WholeLanes joinHalves(const HalfOfLanes& low, const HalfOfLanes& high) {
    return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

#include "compositing/BlendLanes.inl"

}  // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl,avx512dq")
namespace avx512 {

constexpr int kLaneBytes = 64;
typedef uint32_t GatherIndex __attribute__((vector_size(64)));
typedef uint16_t HalfOfLanes __attribute__((vector_size(32)));
typedef uint16_t WholeLanes __attribute__((vector_size(64)));

inline GatherIndex gatherWords(const int* words, const GatherIndex& index) {
    return (GatherIndex)_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, (__m512i)index, words, 4);
}

inline WholeLanes joinHalves(const HalfOfLanes& low, const HalfOfLanes& high) {
    return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                   21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
}

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
