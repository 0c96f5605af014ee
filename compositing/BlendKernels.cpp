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

// The wide paths, for the instruction sets of QOR_TARGET_AVX2 and QOR_TARGET_AVX512.
#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {

constexpr int kLaneBytes = 32;
typedef uint8_t Bytes __attribute__((vector_size(16)));
typedef uint16_t Words __attribute__((vector_size(32)));
inline Words widen(const Bytes& bytes) { return (Words)_mm256_cvtepu8_epi16((__m128i)bytes); }


#include "compositing/BlendLanes.inl"

}  // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl,avx512dq")
namespace avx512 {

constexpr int kLaneBytes = 64;
typedef uint8_t Bytes __attribute__((vector_size(32)));
typedef uint16_t Words __attribute__((vector_size(64)));
inline Words widen(const Bytes& bytes) { return (Words)_mm512_cvtepu8_epi16((__m256i)bytes); }

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
