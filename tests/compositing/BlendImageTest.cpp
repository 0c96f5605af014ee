// The whole-image dispatch and its kernels against the per-pixel model, on frames with padded rows,
// odd widths (so the four-pixel vector steps leave a remainder) and alpha over its whole range.

#include <gtest/gtest.h>

#include "compositing/BlendImage.h"
#include "support/TestSupport.h"
#include "tests/compositing/BlendReference.h"

namespace {

using qortest::PaddedFrame;

constexpr int kStripes = 8;

// Noise with alpha forced to 0 and 255 in some columns, so that the transparent and opaque cases
// occur on every row.
cv::Mat layer(int width, int height, uint32_t seed) {
    cv::Mat picture = qortest::noisePicture(width, height, seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; x += 5) picture.at<cv::Vec4b>(y, x)[3] = (x / 5) % 2 ? 255 : 0;
    }
    return picture;
}

struct Case {
    uint32_t mode;
    int strength;
    bool premultiplied;
};

std::string describe(const Case& c) {
    return "mode " + std::to_string(c.mode) + " strength " + std::to_string(c.strength) +
           (c.premultiplied ? " premultiplied" : " straight");
}

void expectBlendMatchesModel(const cv::Mat& src, const cv::Mat& dst, const Case& c, int stripes = kStripes) {
    PaddedFrame target = PaddedFrame::from(dst, 13);
    cv::Mat targetMat = target.mat();
    ASSERT_TRUE(imageC::blendImage(src, targetMat, c.mode, c.strength, c.premultiplied, stripes));
    const cv::Mat expected = blendref::blendImage(src, dst, c.mode, c.strength, c.premultiplied);
    EXPECT_EQ(qortest::differingBytes(target.pixels(), expected), 0) << describe(c);
    EXPECT_TRUE(target.paddingIntact()) << describe(c);

    // The single-pass form, over the destination's pixels in place and from a separate background.
    PaddedFrame inPlace = PaddedFrame::from(dst, 5);
    PaddedFrame apart = PaddedFrame::from(cv::Mat(dst.size(), CV_8UC4, cv::Scalar::all(77)), 9);
    cv::Mat inPlaceMat = inPlace.mat(), apartMat = apart.mat();
    ASSERT_TRUE(imageC::blendImageOver(src, inPlaceMat, inPlaceMat, c.mode, c.strength, c.premultiplied));
    ASSERT_TRUE(imageC::blendImageOver(src, dst, apartMat, c.mode, c.strength, c.premultiplied));
    EXPECT_EQ(qortest::differingBytes(inPlace.pixels(), expected), 0) << describe(c) << " in place";
    EXPECT_EQ(qortest::differingBytes(apart.pixels(), expected), 0) << describe(c) << " over a separate background";
    EXPECT_TRUE(inPlace.paddingIntact() && apart.paddingIntact()) << describe(c);
}

// Strength 0 leaves the table modes alone while Replace still copies; only the strength's low 8
// bits count, so 256 is 0.
TEST(BlendImage, EveryModeNumberRunsItsKernel) {
    const cv::Mat src = layer(37, 19, 1);
    const cv::Mat dst = layer(37, 19, 2);
    for (uint32_t mode = 0; mode <= 30; ++mode) {
        for (const int strength : {255, 200, 77, 0, 256}) {
            for (const bool premultiplied : {false, true}) {
                expectBlendMatchesModel(src, dst, {mode, strength, premultiplied});
            }
        }
    }
    expectBlendMatchesModel(src, dst, {0xFFFFFFFFu, 255, false});
}

TEST(BlendImage, StripesCoverEveryRowWhateverTheirCount) {
    for (const int rows : {1, 3, 7, 8, 9, 17}) {
        const cv::Mat src = layer(9, rows, 5);
        const cv::Mat dst = layer(9, rows, 6);
        for (const int stripes : {-3, 0, 1, 2, 8, 30}) {
            SCOPED_TRACE("rows " + std::to_string(rows) + " stripes " + std::to_string(stripes));
            expectBlendMatchesModel(src, dst, {0, 255, false}, stripes);
            expectBlendMatchesModel(src, dst, {8, 190, false}, stripes);
        }
    }
}

TEST(BlendImage, RefusesMismatchedOrEmptyImagesWithoutWriting) {
    const cv::Mat src = layer(8, 8, 7);
    const cv::Mat original = layer(8, 8, 8);
    const cv::Mat smaller = layer(7, 8, 9);
    cv::Mat dst = original.clone();
    EXPECT_FALSE(imageC::blendImage(smaller, dst, 0, 255, false, kStripes));
    EXPECT_FALSE(imageC::blendImage(cv::Mat(), dst, 22, 255, false, kStripes));
    cv::Mat threeChannels(8, 8, CV_8UC3, cv::Scalar::all(1));
    EXPECT_FALSE(imageC::blendImage(threeChannels, dst, 22, 255, false, kStripes));
    EXPECT_EQ(qortest::differingBytes(dst, original), 0);
    cv::Mat empty;
    EXPECT_FALSE(imageC::blendImage(src, empty, 22, 255, false, kStripes));
    EXPECT_TRUE(empty.empty());
}

TEST(BlendImage, SourceSharingTheDestinationMemoryBlendsAsACopyWould) {
    cv::Mat canvas = layer(40, 20, 10);
    const cv::Mat before = canvas.clone();
    // The source is the destination shifted by one row and three pixels.
    const cv::Mat src = canvas(cv::Rect(3, 1, 30, 16));
    cv::Mat dst = canvas(cv::Rect(0, 0, 30, 16));
    const cv::Mat expected =
        blendref::blendImage(before(cv::Rect(3, 1, 30, 16)), before(cv::Rect(0, 0, 30, 16)), 2, 255, false);
    ASSERT_TRUE(imageC::blendImage(src, dst, 2, 255, false, kStripes));
    EXPECT_EQ(qortest::differingBytes(dst, expected), 0);
}

}  // namespace
