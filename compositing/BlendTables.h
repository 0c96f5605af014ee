#pragma once
// The process-wide 8-bit lookup tables of the compositing kernels and of every effect that
// multiplies, blends or unites 8-bit values. Built once on first use (thread-safe) and read-only
// afterwards, so per-pixel work is table look-ups only. The 17 MB interpolation block is built
// apart, only when lerp or lerpRow is first called: the kernels compute its values with the
// integer arithmetic of ByteArithmetic.h instead.
//
// A 256x256 table T is indexed T[a * 256 + b]; in the blend-mode tables a is the destination
// (base) value and b the source (blend) value.

#include <cstddef>
#include <cstdint>

namespace imageC {

struct BlendTables {
    static constexpr std::size_t kTableSize = 256 * 256;
    static constexpr std::size_t kInterpolationRow = 265;  // row stride of the interpolation block

    enum Index : int {
        Add = 0,
        Multiply = 1,
        Screen = 2,
        Overlay = 3,
        SoftLight = 4,
        HardLight = 5,
        ColorDodge = 6,
        ColorBurn = 7,
        Darken = 8,
        Lighten = 9,
        Difference = 10,
        Exclusion = 11,
        HardMix = 12,
        VividLight = 13,
        LinearBurn = 14,
        LinearDodge = 15,
        PinLight = 16,
        LinearLight = 17,
        Divide = 18,
        AlphaUnion = 19,
        TableCount = 20,
    };

    // Tables 0 to 18, in index order.
    uint8_t modes[Divide + 1][kTableSize];
    // Table 19.
    uint8_t alphaUnion[kTableSize];

    // Table `index` (0 to 19).
    const uint8_t* table(int index) const { return index == AlphaUnion ? alphaUnion : modes[index]; }

    // a * b / 255, rounded to nearest (ties to even).
    uint8_t mul(uint8_t a, uint8_t b) const { return modes[Multiply][a * 256 + b]; }
    // (s * t + d * (255 - t)) / 255, truncated: from d at t = 0 to s at t = 255.
    uint8_t lerp(uint8_t s, uint8_t d, uint8_t t) const { return lerpRow(s, d)[t]; }
    // a + (255 - a) * b / 255, clamped: coverage of two alphas together.
    uint8_t unite(uint8_t a, uint8_t b) const { return alphaUnion[a * 256 + b]; }
    // The interpolation row of the pair (s, d), indexed by t.
    const uint8_t* lerpRow(uint8_t s, uint8_t d) const {
        return interpolationBlock() + (static_cast<std::size_t>(s) * 256 + d) * kInterpolationRow;
    }

    // 65,536 rows of kInterpolationRow bytes, one per pair (a, b); the first 256 bytes of a row
    // run from b (t = 0) to a (t = 255). Built on the first call.
    static const uint8_t* interpolationBlock();
};

// The shared tables, built on the first call.
const BlendTables* getBlendTables();

}  // namespace imageC
