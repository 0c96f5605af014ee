#pragma once
// The last step of face beauty: smoothed colours, lifted and whitened through per-channel tables,
// laid over the input by the input's alpha.

#include <array>
#include <cstdint>

#include "framework/SimdDispatch.h"
#include "plugins/qorCommonFxPlugin/beauty/ColourTables.h"

namespace beauty {

// The colour tables, and whether each is v -> clamp(v + shift) with a shift that depends only on
// whether v is odd (as rounding ties to even makes it), which lets the wider kernels add shifts
// with saturation instead of looking values up one by one.
struct LiftTables {
    explicit LiftTables(const ColourTables& tables);

    ColourTables tables;
    bool shiftable = true;
    std::array<int, 3> evenShift{}, oddShift{};
};

// For pixels 0 .. count - 1: blue, green and red of `smoothed` through the tables, laid over
// `in` by `in`'s alpha, into `out` with `in`'s alpha. `out` may be `in`.
using LayOver = void (*)(const uint8_t* in, const uint8_t* smoothed, uint8_t* out, int count, const LiftTables& lift);

extern const tessel::SimdKernels<LayOver> kLayOver;

}  // namespace beauty
