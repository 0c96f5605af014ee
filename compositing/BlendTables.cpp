#include "compositing/BlendTables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace imageC {
namespace {

// Every formula takes the destination (base) value a and the source (blend) value b. Integer
// division truncates; the few single-precision formulas are evaluated exactly as written so that
// their truncated results are reproducible to the byte.
using Formula = uint8_t (*)(int a, int b);

uint8_t clampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

uint8_t softLight(int a, int b) {
    const float x = a / 255.0f;
    const float y = b / 255.0f;
    const float v = b < 128 ? ((1.0f - 2.0f * y) * (x * x) + 2.0f * x * y) * 255.0f
                            : ((1.0f - y) * (2.0f * x) + (2.0f * y - 1.0f) * std::sqrt(x)) * 255.0f;
    // Only the low 8 bits of the truncated value are kept.
    return static_cast<uint8_t>(static_cast<int>(v));
}

uint8_t vividLight(int a, int b) {
    if (b == 0) return 0;
    if (b == 255) return 255;
    if (b < 128) return static_cast<uint8_t>(std::max(0, 255 - ((255 - a) * 256) / (2 * b)));
    return static_cast<uint8_t>(std::min(255, (a * 256) / (511 - 2 * b)));
}

uint8_t divide(int a, int b) {
    if (b == 0) return 255;
    return static_cast<uint8_t>(std::min(255.0f, static_cast<float>(a * 255) / (b + 0.5f)));
}

// Indexed by BlendTables::Index.
constexpr Formula kFormulas[] = {
    /* Add         */ [](int a, int b) { return static_cast<uint8_t>(std::min(a + b, 255)); },
    /* Multiply    */ [](int a, int b) { return static_cast<uint8_t>(std::nearbyint(a * b / 255.0)); },
    /* Screen      */ [](int a, int b) { return static_cast<uint8_t>(255 - (((255 - a) * (255 - b)) >> 8)); },
    /* Overlay     */ [](int a, int b) {
        return static_cast<uint8_t>(a < 128 ? (2 * a * b) >> 8 : 255 - (2 * (255 - a) * (255 - b)) / 255);
    },
    /* SoftLight   */ softLight,
    /* HardLight   */ [](int a, int b) {
        return b < 128 ? clampByte((2 * a * b) / 255) : clampByte(255 - (2 * (255 - a) * (255 - b)) / 255);
    },
    /* ColorDodge  */ [](int a, int b) { return b == 255 ? uint8_t{255} : clampByte(a * 255 / (255 - b)); },
    /* ColorBurn   */ [](int a, int b) { return b == 0 ? uint8_t{0} : clampByte(255 - (255 - a) * 255 / b); },
    /* Darken      */ [](int a, int b) { return static_cast<uint8_t>(std::min(a, b)); },
    /* Lighten     */ [](int a, int b) { return static_cast<uint8_t>(std::max(a, b)); },
    /* Difference  */ [](int a, int b) { return static_cast<uint8_t>(std::abs(a - b)); },
    /* Exclusion   */ [](int a, int b) { return static_cast<uint8_t>(a + b - (2 * a * b) / 255); },
    /* HardMix     */ [](int a, int b) { return a + b >= 254 ? uint8_t{255} : uint8_t{0}; },
    /* VividLight  */ vividLight,
    /* LinearBurn  */ [](int a, int b) { return static_cast<uint8_t>(std::max(0, a + b - 255)); },
    /* LinearDodge */ [](int a, int b) { return static_cast<uint8_t>(std::min(a + b, 255)); },
    /* PinLight    */ [](int a, int b) { return static_cast<uint8_t>(std::max(0, std::max(2 * b - 255, std::min(a, 2 * b)))); },
    /* LinearLight */ [](int a, int b) { return clampByte(a + 2 * b - 255); },
    /* Divide      */ divide,
    /* AlphaUnion  */ [](int a, int b) { return clampByte(a + ((255 - a) * b) / 255); },
};
static_assert(std::size(kFormulas) == BlendTables::TableCount, "one formula per table");

std::unique_ptr<BlendTables> buildTables() {
    auto tables = std::make_unique<BlendTables>();
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const int entry = a * 256 + b;
            for (int i = 0; i < BlendTables::AlphaUnion; ++i) tables->modes[i][entry] = kFormulas[i](a, b);
            tables->alphaUnion[entry] = kFormulas[BlendTables::AlphaUnion](a, b);
        }
    }
    return tables;
}

std::unique_ptr<uint8_t[]> buildInterpolationBlock() {
    // Zero-filled, so the nine bytes that pad each row stay 0.
    auto block = std::make_unique<uint8_t[]>(BlendTables::kTableSize * BlendTables::kInterpolationRow);
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            uint8_t* row = block.get() + static_cast<std::size_t>(a * 256 + b) * BlendTables::kInterpolationRow;
            for (int t = 0; t < 256; ++t) row[t] = static_cast<uint8_t>((a * t + b * (255 - t)) / 255);
        }
    }
    return block;
}

}  // namespace

const BlendTables* getBlendTables() {
    static const std::unique_ptr<BlendTables> tables = buildTables();
    return tables.get();
}

const uint8_t* BlendTables::interpolationBlock() {
    static const std::unique_ptr<uint8_t[]> block = buildInterpolationBlock();
    return block.get();
}

}  // namespace imageC
