// The shared tables through properties that hold whatever the formulas' arithmetic, and the odd
// corners where the formulas depart from the obvious.

#include <gtest/gtest.h>

#include "compositing/BlendTables.h"

namespace {

using imageC::BlendTables;

TEST(BlendTables, PropertiesEveryTableKeeps) {
    const BlendTables& t = *imageC::getBlendTables();
    auto entry = [&](int table, int a, int b) { return int{t.table(table)[a * 256 + b]}; };
    int failures = 0;
    for (int a = 0; a < 256; ++a) {
        failures += t.mul(a, 255) != a || t.mul(a, 0) != 0;
        failures += t.unite(a, 0) != a || t.unite(0, a) != a || t.unite(a, 255) != 255;
        failures += entry(BlendTables::Darken, a, a) != a || entry(BlendTables::Difference, a, a) != 0;
        for (int b = 0; b < 256; ++b) {
            failures += t.mul(a, b) != t.mul(b, a) || (b > 0 && t.mul(a, b) < t.mul(a, b - 1));
            failures += entry(BlendTables::Add, a, b) != entry(BlendTables::LinearDodge, a, b);
            failures += entry(BlendTables::Darken, a, b) + entry(BlendTables::Lighten, a, b) != a + b;
            failures += entry(BlendTables::Difference, a, b) != entry(BlendTables::Difference, b, a);
            failures += entry(BlendTables::Exclusion, a, b) != entry(BlendTables::Exclusion, b, a);
            failures += t.unite(a, b) < a || t.unite(a, b) < b;
        }
    }
    EXPECT_EQ(failures, 0);
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

TEST(BlendTables, InterpolationRunsFromSecondToFirstWithTruncation) {
    const BlendTables& t = *imageC::getBlendTables();
    EXPECT_EQ(t.lerp(200, 10, 0), 10);
    EXPECT_EQ(t.lerp(200, 10, 255), 200);
    EXPECT_EQ(t.lerp(255, 0, 128), 128);
    EXPECT_EQ(t.lerp(0, 255, 128), 127);
    EXPECT_EQ(t.lerpRow(0, 255) + BlendTables::kInterpolationRow, t.lerpRow(1, 0));
}

}  // namespace
