// The single-pixel blend against the per-pixel model, and where it parts from the image kernels.

#include <gtest/gtest.h>

#include <array>

#include <opencv2/core.hpp>

#include "compositing/BlendImage.h"
#include "tests/compositing/BlendReference.h"

namespace {

using Pixel = std::array<uint8_t, 4>;

Pixel blended(const Pixel& s, Pixel d, uint32_t mode, int strength, bool premultiplied) {
    imageC::blendPixel(s.data(), d.data(), mode, strength, premultiplied);
    return d;
}

// Pixel pairs over the interesting alphas: transparent, partial and opaque source and destination.
std::vector<std::pair<Pixel, Pixel>> samplePairs() {
    std::vector<std::pair<Pixel, Pixel>> pairs;
    cv::RNG rng(11);
    for (const int sourceAlpha : {0, 1, 90, 254, 255}) {
        for (const int destinationAlpha : {0, 128, 255}) {
            for (int i = 0; i < 8; ++i) {
                Pixel s{}, d{};
                for (int c = 0; c < 3; ++c) {
                    s[c] = static_cast<uint8_t>(rng.uniform(0, 256));
                    d[c] = static_cast<uint8_t>(rng.uniform(0, 256));
                }
                s[3] = static_cast<uint8_t>(sourceAlpha);
                d[3] = static_cast<uint8_t>(destinationAlpha);
                pairs.emplace_back(s, d);
            }
        }
    }
    return pairs;
}

// Straight, mode 0 never premultiplies the destination (unlike the image kernel at full strength).
TEST(BlendPixel, ModeZeroStraightAndPremultiplied) {
    for (const int strength : {255, 200, 99, 1}) {
        for (const bool premultiplied : {false, true}) {
            for (const auto& [s, d] : samplePairs()) {
                Pixel expected = d;
                const auto k = static_cast<uint8_t>(strength);
                if (premultiplied) blendref::premultipliedPixel(s.data(), expected.data(), k);
                else blendref::straightPixel(s.data(), expected.data(), k, false);
                EXPECT_EQ(blended(s, d, 0, strength, premultiplied), expected) << strength << " " << premultiplied;
            }
        }
    }
}

// Every other mode number, in both forms: the table modes composite alpha as coverage, hollow and
// replace modes follow the image rules, mode 18 and numbers past the table change nothing.
TEST(BlendPixel, EveryOtherModeFollowsItsRule) {
    for (const uint32_t mode : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 19u,
                                20u, 21u, 22u, 23u, 24u, 30u, 1000u}) {
        for (const int strength : {255, 140, 0}) {
            for (const bool premultiplied : {false, true}) {
                for (const auto& [s, d] : samplePairs()) {
                    Pixel expected = d;
                    const int table = blendref::modeTable(mode);
                    if (table >= 0) {
                        blendref::tablePixel(s.data(), expected.data(), blendref::tables().table(table),
                                             static_cast<uint8_t>(strength), true);
                    } else if (mode >= 19 && mode <= 22) {
                        blendref::hollowPixel(blendref::imageKernel(mode, false), s.data(), expected.data());
                    }
                    EXPECT_EQ(blended(s, d, mode, strength, premultiplied), expected)
                        << "mode " << mode << " strength " << strength << " " << premultiplied;
                }
            }
        }
    }
}

TEST(BlendPixel, StrengthOutsideTheByteRangeIsClamped) {
    const Pixel s{250, 10, 128, 200};
    const Pixel d{20, 240, 128, 255};
    for (const uint32_t mode : {0u, 2u, 9u}) {
        EXPECT_EQ(blended(s, d, mode, 300, false), blended(s, d, mode, 255, false));
        EXPECT_EQ(blended(s, d, mode, 1 << 30, true), blended(s, d, mode, 255, true));
        EXPECT_EQ(blended(s, d, mode, -5, false), blended(s, d, mode, 0, false));
    }
}

}  // namespace
