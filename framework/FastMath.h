#pragma once
// Approximate square roots for per-pixel distances, where a library call per pixel would cost more
// than the rest of the pixel's work. Results are deterministic: plain float arithmetic, no
// instruction-set specific estimate.

#include <cstdint>
#include <cstring>

namespace tessel {

// 1/sqrt(d2) for d2 > 0: a bit-level first guess refined by one Newton step (relative error below
// 0.2%). For d2 == 0 it returns a very large finite value, so fastDistance(0) is close to 0.
inline float fastInverseSqrt(float d2) {
    uint32_t bits;
    std::memcpy(&bits, &d2, sizeof bits);
    bits = 0x5F375A86u - (bits >> 1);
    float y;
    std::memcpy(&y, &bits, sizeof y);
    return y * (1.5f - 0.5f * d2 * y * y);
}

// sqrt(d2) as the reciprocal of fastInverseSqrt.
inline float fastDistance(float d2) { return 1.0f / fastInverseSqrt(d2); }

}  // namespace tessel
