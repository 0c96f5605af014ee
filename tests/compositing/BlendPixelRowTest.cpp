// The row blend against the single-pixel blend applied pixel by pixel.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "compositing/BlendImage.h"

namespace {

constexpr uint8_t kGuard = 0x5A;
constexpr int kGuardBytes = 19;

// Random colour bytes; source alpha `i & 255` and destination alpha `i >> 8` at pixel i (mod 65536),
// so that a row of 65536 pixels holds every pair of alphas.
void fillPixels(std::vector<uint8_t>& src, std::vector<uint8_t>& dst, int count, uint64_t seed) {
    cv::RNG rng(seed);
    src.resize(static_cast<std::size_t>(count) * 4);
    dst.resize(src.size());
    for (int i = 0; i < count; ++i) {
        for (int c = 0; c < 3; ++c) {
            src[4 * i + c] = static_cast<uint8_t>(rng.uniform(0, 256));
            dst[4 * i + c] = static_cast<uint8_t>(rng.uniform(0, 256));
        }
        src[4 * i + 3] = static_cast<uint8_t>(i & 255);
        dst[4 * i + 3] = static_cast<uint8_t>((i >> 8) & 255);
    }
}

// Blends `src` onto `dst` with the row blend, the row placed `offset` bytes into a buffer with guard
// bytes on both sides, and checks it against blendPixel pixel by pixel and the guards as written.
::testing::AssertionResult rowMatchesPixels(const std::vector<uint8_t>& src, const std::vector<uint8_t>& dst,
                                            uint32_t mode, int32_t strength, bool premultiplied, int offset) {
    const int count = static_cast<int>(dst.size() / 4);
    std::vector<uint8_t> expected = dst;
    for (int i = 0; i < count; ++i)
        imageC::blendPixel(src.data() + 4 * i, expected.data() + 4 * i, mode, strength, premultiplied);

    std::vector<uint8_t> buffer(dst.size() + offset + kGuardBytes, kGuard);
    std::copy(dst.begin(), dst.end(), buffer.begin() + offset);
    const std::vector<uint8_t> source = src;
    imageC::blendPixelRow(source.data(), buffer.data() + offset, count, mode, strength, premultiplied);

    const auto describe = [&] {
        return testing::Message() << "mode " << mode << " strength " << strength << " premultiplied " << premultiplied
                                  << " count " << count << " offset " << offset;
    };
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < 4; ++c)
            if (buffer[offset + 4 * i + c] != expected[4 * i + c])
                return ::testing::AssertionFailure() << describe() << ": pixel " << i << " channel " << c;
    for (int b = 0; b < offset; ++b)
        if (buffer[b] != kGuard) return ::testing::AssertionFailure() << describe() << ": byte before the row";
    for (int b = 0; b < kGuardBytes; ++b)
        if (buffer[offset + dst.size() + b] != kGuard)
            return ::testing::AssertionFailure() << describe() << ": byte after the row";
    if (source != src) return ::testing::AssertionFailure() << describe() << ": source written";
    return ::testing::AssertionSuccess();
}

const int32_t kStrengths[] = {0, 1, 77, 128, 254, 255, 300, -5};

// Short odd rows leave a remainder after the four-pixel steps; the row may start anywhere.
TEST(BlendPixelRow, ShortRowsEqualThePixelByPixelBlendInEveryMode) {
    for (const int count : {1, 2, 3, 5, 7, 13, 31, 67}) {
        std::vector<uint8_t> src, dst;
        fillPixels(src, dst, count, static_cast<uint64_t>(count));
        for (uint32_t mode = 0; mode <= 30; ++mode)
            for (const int32_t strength : kStrengths)
                for (const bool premultiplied : {true, false})
                    ASSERT_TRUE(rowMatchesPixels(src, dst, mode, strength, premultiplied, count % 4 + 1));
    }
}

TEST(BlendPixelRow, EveryPairOfAlphasEqualsThePixelByPixelBlend) {
    std::vector<uint8_t> src, dst;
    fillPixels(src, dst, 65536 + 3, 5);
    for (uint32_t mode = 0; mode <= 30; ++mode)
        for (const int32_t strength : {0, 1, 128, 254, 255})
            for (const bool premultiplied : {true, false})
                ASSERT_TRUE(rowMatchesPixels(src, dst, mode, strength, premultiplied, 0));
}

TEST(BlendPixelRow, AnEmptyRowWritesNothing) {
    std::vector<uint8_t> pixel(4, 9), guard(4, kGuard);
    for (const int count : {0, -4}) {
        imageC::blendPixelRow(pixel.data(), guard.data(), count, 22, 255, false);
        EXPECT_EQ(guard, std::vector<uint8_t>(4, kGuard));
    }
}

}  // namespace
