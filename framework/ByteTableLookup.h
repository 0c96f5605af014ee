#pragma once
// Sixty-four look-ups at once into a 256-byte table with the AVX-512 VBMI byte permutes: two
// two-register permutes cover the table's lower and upper 128 bytes, and each index's top bit
// picks between them. For the per-byte tables of the colour effects, whose scalar form costs a
// load per byte.

#include <immintrin.h>

#include <cstdint>

#include "framework/SimdDispatch.h"

namespace tessel {

// A 256-byte table in four registers.
struct ByteTableRegisters {
    __m512i quarter[4];
};

QOR_TARGET_AVX512_VBMI inline ByteTableRegisters loadByteTable(const uint8_t* table) {
    ByteTableRegisters registers;
    for (int i = 0; i < 4; ++i) registers.quarter[i] = _mm512_loadu_si512(table + 64 * i);
    return registers;
}

// table[index] for each of the 64 bytes of `index`.
QOR_TARGET_AVX512_VBMI inline __m512i lookUpBytes(const ByteTableRegisters& table, __m512i index) {
    const __m512i lower = _mm512_permutex2var_epi8(table.quarter[0], index, table.quarter[1]);
    const __m512i upper = _mm512_permutex2var_epi8(table.quarter[2], index, table.quarter[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), lower, upper);
}

// The bytes of channels 0, 1 and 2 of sixteen BGRA pixels.
constexpr uint64_t kChannelBytes[3] = {0x1111111111111111ull, 0x2222222222222222ull, 0x4444444444444444ull};

}  // namespace tessel
