#pragma once
// Plain per-pixel arithmetic of the overlay and generator effects, written from their rules for
// the tests' reference pictures, and the refusal check they share.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "framework/NLEEffectFilter.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace overlayref {

// a * b / 255 rounded to nearest.
inline int mul(int a, int b) { return static_cast<int>(std::nearbyint(a * b / 255.0)); }

// Square root by the bit-level reciprocal estimate 0x5F375A86 and one Newton step.
inline float approximateSqrt(float square) {
    uint32_t bits;
    std::memcpy(&bits, &square, 4);
    bits = 0x5F375A86u - (bits >> 1);
    float estimate;
    std::memcpy(&estimate, &bits, 4);
    estimate = estimate * (1.5f - 0.5f * square * estimate * estimate);
    return 1.0f / estimate;
}

inline double unit(double x) { return std::min(1.0, std::max(0.0, x)); }

// Colour byte c moved towards k with weight a: int(float(k * a) + c * (1 - a)).
inline uint8_t mix(uint8_t c, int k, double a) {
    return static_cast<uint8_t>(static_cast<int>(static_cast<double>(static_cast<float>(k * a)) + c * (1.0 - a)));
}

// Transform must answer 1 and leave every byte of `out` (padding included) as it was.
inline void expectRefused(tessel::NLEEffectFilter& effect, qortest::PaddedFrame& out, const tessel::Frame& outFrame,
                          const tessel::Frame& inFrame) {
    const std::vector<uint8_t> before = out.bytes();
    EXPECT_EQ(qortest::render(effect, outFrame, inFrame), 1);
    EXPECT_EQ(out.bytes(), before);
}

}  // namespace overlayref
