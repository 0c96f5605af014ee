#pragma once
// The row kernels behind the compositing loop bodies and the single-pixel blend, one per rule of
// BlendRules.h, in an SSE2 version and wider AVX2 and AVX-512 versions that give the same bytes.

#include <cstdint>

#include "framework/SimdDispatch.h"

namespace imageC {

enum class BlendRowKind {
    ModeTable,
    ModeTableCoverage,
    NormalPremultiplied,
    NormalStraight,
    NormalStraightFull,
    HollowIn,
    HollowOut,
    TextBgHollowIn,
};

constexpr BlendRowKind kBlendRowKinds[] = {
    BlendRowKind::ModeTable,        BlendRowKind::ModeTableCoverage, BlendRowKind::NormalPremultiplied,
    BlendRowKind::NormalStraight,   BlendRowKind::NormalStraightFull, BlendRowKind::HollowIn,
    BlendRowKind::HollowOut,        BlendRowKind::TextBgHollowIn,
};

// What a rule may need besides the pixels: its blend-mode table and the strength.
struct BlendRowParams {
    const uint8_t* table = nullptr;
    uint8_t strength = 255;
};

// Applies the rule to `count` adjacent pixels of `src` laid over those of `base`, writing `dst` (4 *
// count bytes each). `base` is either `dst` itself (blending in place) or does not overlap it; `src`
// overlaps neither. Blending over a separate base reads it once instead of copying it first.
using BlendRowFn = void (*)(const uint8_t* src, const uint8_t* base, uint8_t* dst, int count,
                            const BlendRowParams& params);

const tessel::SimdKernels<BlendRowFn>& blendRowKernels(BlendRowKind kind);

// The outside fill of the render region: colour = min(255, mul(mul(colour, alpha), inverseAlpha) +
// tint), alpha = 255.
struct ShadeParams {
    uint8_t inverseAlpha = 255;
    uint16_t tint[3] = {0, 0, 0};  // per colour channel, at most 255
};

// Shades `count` adjacent pixels in place.
using ShadeRowFn = void (*)(uint8_t* pixels, int count, const ShadeParams& params);

const tessel::SimdKernels<ShadeRowFn>& shadeRowKernels();

}  // namespace imageC
