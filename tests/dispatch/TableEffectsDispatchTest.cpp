// The wide row kernels of the per-pixel effects (skin colour and white skin through their colour
// tables, tone map through its tone tables, the green-channel matte) against their plain
// versions, byte for byte, on random tables and pictures, widths that leave every remainder, and
// in place.

#include <gtest/gtest.h>

#include <vector>

#include "dispatch/DispatchPaths.h"
#include "plugins/qorCommonFxPlugin/beauty/ColourTables.h"
#include "plugins/qorCommonFxPlugin/colour/NLEGreenChannelControl.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEToneMapToSelectColor.h"
#include "support/TestSupport.h"

namespace {

constexpr int kWidths[] = {1, 15, 16, 17, 47, 100};

std::vector<uint8_t> randomBytes(std::size_t count, uint64_t seed) {
    std::vector<uint8_t> bytes(count);
    cv::RNG(seed).fill(cv::Mat(1, static_cast<int>(count), CV_8U, bytes.data()), cv::RNG::UNIFORM, 0, 256);
    return bytes;
}

TEST(TableEffectsDispatch, ColourTablesMatchPlainVersion) {
    beauty::ColourTables tables;
    const std::vector<uint8_t> entries = randomBytes(3 * 256, 5);
    for (int c = 0; c < 3; ++c) std::copy_n(entries.begin() + 256 * c, 256, tables[c].begin());
    const auto& kernels = beauty::colourTablesRowKernels();
    for (int width : kWidths) {
        const std::vector<uint8_t> in = randomBytes(4 * width + 8, width);
        std::vector<uint8_t> expected = in;
        kernels.sse2(in.data(), expected.data(), width, tables);
        dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
            std::vector<uint8_t> actual = in;
            kernels.at(path)(actual.data(), actual.data(), width, tables);  // in place
            EXPECT_EQ(actual, expected) << width << " pixels";
        });
    }
}

TEST(TableEffectsDispatch, ToneMapMatchesPlainVersion) {
    toneMapping::ToneMix mix{};
    const std::vector<uint8_t> tones = randomBytes(3 * 256, 9);
    for (int c = 0; c < 3; ++c) {
        for (int g = 0; g < 256; ++g) {
            mix.toneOfGreyByChannel[c][g] = tones[256 * c + g];
            mix.toneOfGrey[g] |= uint32_t{tones[256 * c + g]} << (8 * c);
        }
    }
    const auto& kernels = toneMapping::toneMapRowKernels();
    for (int weight : {0, 77, 255}) {
        mix.inputWeight = static_cast<uint8_t>(weight);
        for (int width : kWidths) {
            const std::vector<uint8_t> grey = randomBytes(width, 2 * width), in = randomBytes(4 * width + 8, width);
            std::vector<uint8_t> expected = in;
            kernels.sse2(mix, grey.data(), in.data(), expected.data(), width);
            dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
                std::vector<uint8_t> actual = in;
                kernels.at(path)(mix, grey.data(), in.data(), actual.data(), width);
                EXPECT_EQ(actual, expected) << width << " pixels, input weight " << weight;
            });
        }
    }
}

TEST(TableEffectsDispatch, GreenChannelMatteMatchesPlainVersion) {
    const auto& kernels = NLEGreenChannelControl::matteRowKernels();
    for (int width : kWidths) {
        const std::vector<uint8_t> in = randomBytes(4 * width + 8, width);
        const std::vector<uint8_t> matte = randomBytes(4 * width + 8, 3 * width);
        std::vector<uint8_t> expected = in;
        kernels.sse2(in.data(), matte.data(), expected.data(), width);
        dispatch_testing::forEachWiderPath([&](tessel::SimdPath path) {
            std::vector<uint8_t> actual = in;
            kernels.at(path)(actual.data(), matte.data(), actual.data(), width);  // in place
            EXPECT_EQ(actual, expected) << width << " pixels";
        });
    }
}

}  // namespace
