// The shared tables against their formulas, entry by entry. The expected values are written from
// the formulas with integer-only forms where the production code uses floating point (and the
// other way round) wherever the two must agree, so a slip in either shows.

#include <gtest/gtest.h>

#include <cmath>

#include "compositing/BlendTables.h"

namespace {

using imageC::BlendTables;

int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Rounded a*b/255 without floating point: a*b/255 is never exactly halfway, so rounding half up
// equals rounding to even.
int roundedProduct(int a, int b) { return (2 * a * b + 255) / 510; }

int softLightReference(int a, int b) {
    const float x = static_cast<float>(a) / 255.0f;
    const float y = static_cast<float>(b) / 255.0f;
    float v;
    if (b < 128) {
        const float squared = x * x;
        v = ((1.0f - 2.0f * y) * squared + 2.0f * x * y) * 255.0f;
    } else {
        const float root = std::sqrt(x);
        v = ((1.0f - y) * 2.0f * x + (2.0f * y - 1.0f) * root) * 255.0f;
    }
    return static_cast<int>(v) & 0xFF;
}

int expectedEntry(int table, int a, int b) {
    switch (table) {
    case BlendTables::Add:
    case BlendTables::LinearDodge: return a + b > 255 ? 255 : a + b;
    case BlendTables::Multiply: return roundedProduct(a, b);
    case BlendTables::Screen: return 255 - (255 - a) * (255 - b) / 256;
    case BlendTables::Overlay: return a < 128 ? 2 * a * b / 256 : 255 - 2 * (255 - a) * (255 - b) / 255;
    case BlendTables::SoftLight: return softLightReference(a, b);
    case BlendTables::HardLight:
        return b < 128 ? clamp255(2 * a * b / 255) : clamp255(255 - 2 * (255 - a) * (255 - b) / 255);
    case BlendTables::ColorDodge: return b == 255 ? 255 : clamp255(a * 255 / (255 - b));
    case BlendTables::ColorBurn: return b == 0 ? 0 : clamp255(255 - (255 - a) * 255 / b);
    case BlendTables::Darken: return a < b ? a : b;
    case BlendTables::Lighten: return a > b ? a : b;
    case BlendTables::Difference: return a > b ? a - b : b - a;
    case BlendTables::Exclusion: return a + b - 2 * a * b / 255;
    case BlendTables::HardMix: return a + b >= 254 ? 255 : 0;
    case BlendTables::VividLight:
        if (b == 0) return 0;
        if (b == 255) return 255;
        if (b < 128) return clamp255(255 - (255 - a) * 256 / (2 * b));
        return clamp255(a * 256 / (511 - 2 * b));
    case BlendTables::LinearBurn: return clamp255(a + b - 255);
    case BlendTables::PinLight: {
        const int low = a < 2 * b ? a : 2 * b;
        return clamp255(2 * b - 255 > low ? 2 * b - 255 : low);
    }
    case BlendTables::LinearLight: return clamp255(a + 2 * b - 255);
    case BlendTables::Divide: {
        if (b == 0) return 255;
        const float quotient = static_cast<float>(a * 255) / (static_cast<float>(b) + 0.5f);
        return quotient > 255.0f ? 255 : static_cast<int>(quotient);
    }
    case BlendTables::AlphaUnion: return clamp255(a + (255 - a) * b / 255);
    }
    return -1;
}

TEST(BlendTables, EveryEntryOfEveryTableFollowsItsFormula) {
    const BlendTables* tables = imageC::getBlendTables();
    for (int table = 0; table < BlendTables::TableCount; ++table) {
        int mismatches = 0;
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                const int expected = expectedEntry(table, a, b);
                const int actual = tables->table(table)[a * 256 + b];
                if (expected != actual && ++mismatches <= 3) {
                    ADD_FAILURE() << "table " << table << " a=" << a << " b=" << b << ": " << actual
                                  << " instead of " << expected;
                }
            }
        }
        EXPECT_EQ(mismatches, 0) << "table " << table;
    }
}

TEST(BlendTables, OddCornersOfTheFormulas) {
    const BlendTables* tables = imageC::getBlendTables();
    auto entry = [&](int table, int a, int b) { return int{tables->table(table)[a * 256 + b]}; };
    // Screen divides by 256: black over black is not black.
    EXPECT_EQ(entry(BlendTables::Screen, 0, 0), 1);
    EXPECT_EQ(entry(BlendTables::Screen, 255, 255), 255);
    // Hard mix switches at a sum of 254.
    EXPECT_EQ(entry(BlendTables::HardMix, 127, 127), 255);
    EXPECT_EQ(entry(BlendTables::HardMix, 126, 127), 0);
    // Divide by zero saturates; everything else is truncated single precision.
    EXPECT_EQ(entry(BlendTables::Divide, 0, 0), 255);
    EXPECT_EQ(entry(BlendTables::Divide, 100, 200), 127);  // 25500 / 200.5 = 127.18
    EXPECT_EQ(entry(BlendTables::Divide, 255, 255), 254);  // 65025 / 255.5 = 254.5
    // Vivid light at the ends of the source range.
    EXPECT_EQ(entry(BlendTables::VividLight, 0, 255), 255);
    EXPECT_EQ(entry(BlendTables::VividLight, 255, 0), 0);
    // Multiply rounds: 128 * 128 / 255 = 64.25, 255 * 128 / 255 = 128.
    EXPECT_EQ(tables->mul(128, 128), 64);
    EXPECT_EQ(tables->mul(255, 128), 128);
    EXPECT_EQ(tables->mul(3, 170), 2);  // 1.9999
    EXPECT_EQ(tables->unite(255, 0), 255);
    EXPECT_EQ(tables->unite(128, 128), 191);  // 128 + 16256 / 255, truncated
}

TEST(BlendTables, InterpolationRowsRunFromSecondToFirstWithTruncation) {
    const BlendTables* tables = imageC::getBlendTables();
    int mismatches = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const uint8_t* row = tables->interpolation + (static_cast<std::size_t>(a) * 256 + b) * 265;
            ASSERT_EQ(row, tables->lerpRow(a, b));
            for (int t = 0; t < 256; ++t) {
                const int expected = (a * t + b * (255 - t)) / 255;
                mismatches += row[t] != expected;
                mismatches += tables->lerp(a, b, t) != expected;
            }
            // The nine bytes between rows are never written.
            for (int pad = 256; pad < 265; ++pad) mismatches += row[pad] != 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(tables->lerp(200, 10, 0), 10);
    EXPECT_EQ(tables->lerp(200, 10, 255), 200);
    EXPECT_EQ(tables->lerp(255, 0, 128), 128);
    EXPECT_EQ(tables->lerp(0, 255, 128), 127);
}

}  // namespace
