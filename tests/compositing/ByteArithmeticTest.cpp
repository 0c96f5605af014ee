// The arithmetic forms the kernels use against the tables they stand for, over every input, in
// both the single-byte and the 16-bit-lane form.

#include <gtest/gtest.h>

#include "compositing/BlendTables.h"
#include "compositing/ByteArithmetic.h"

namespace {

using imageC::PixelLanes;

// Runs a lane operation on eight copies of (a, b, t), each lane holding a different triple.
template <class Operation>
void laneValues(const uint16_t (&a)[8], const uint16_t (&b)[8], const uint16_t (&t)[8], uint16_t (&out)[8],
                Operation operation) {
    cv::v_store(out, operation(cv::v_load(a), cv::v_load(b), cv::v_load(t)));
}

TEST(ByteArithmetic, DivisionBy255TruncatesEverySixteenBitValue) {
    int mismatches = 0;
    for (uint32_t x = 0; x < 65536; x += 8) {
        uint16_t values[8], quotients[8];
        for (uint32_t i = 0; i < 8; ++i) values[i] = static_cast<uint16_t>(x + i);
        cv::v_store(quotients, imageC::divide255(cv::v_load(values)));
        for (uint32_t i = 0; i < 8; ++i) {
            mismatches += imageC::divide255(values[i]) != (x + i) / 255;
            mismatches += quotients[i] != (x + i) / 255;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ByteArithmetic, MultiplyAndUnionEqualTheirTablesForEveryPair) {
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    int mismatches = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; b += 8) {
            uint16_t as[8], bs[8], unused[8] = {}, products[8], unions[8];
            for (int i = 0; i < 8; ++i) {
                as[i] = static_cast<uint16_t>(a);
                bs[i] = static_cast<uint16_t>(b + i);
            }
            laneValues(as, bs, unused, products, [](auto x, auto y, auto) { return imageC::mul255(x, y); });
            // The vector kernels unite alphas as the interpolation towards 255.
            laneValues(as, bs, unused, unions,
                       [](auto x, auto y, auto) { return imageC::lerp255(cv::v_setall_u16(255), y, x); });
            for (int i = 0; i < 8; ++i) {
                const uint8_t x = static_cast<uint8_t>(a), y = static_cast<uint8_t>(b + i);
                mismatches += imageC::mul255(x, y) != tables.mul(x, y);
                mismatches += products[i] != tables.mul(x, y);
                mismatches += imageC::unite255(x, y) != tables.unite(x, y);
                mismatches += unions[i] != tables.unite(x, y);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(ByteArithmetic, InterpolationEqualsPlainDivisionForEveryTriple) {
    int mismatches = 0;
    for (int s = 0; s < 256; ++s) {
        for (int d = 0; d < 256; ++d) {
            for (int t = 0; t < 256; t += 8) {
                uint16_t ss[8], ds[8], ts[8], lanes[8];
                for (int i = 0; i < 8; ++i) {
                    ss[i] = static_cast<uint16_t>(s);
                    ds[i] = static_cast<uint16_t>(d);
                    ts[i] = static_cast<uint16_t>(t + i);
                }
                laneValues(ss, ds, ts, lanes, [](auto x, auto y, auto z) { return imageC::lerp255(x, y, z); });
                for (int i = 0; i < 8; ++i) {
                    const int expected = (s * (t + i) + d * (255 - t - i)) / 255;
                    mismatches += imageC::lerp255(s, d, t + i) != expected;
                    mismatches += lanes[i] != expected;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
