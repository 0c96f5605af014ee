// The whole-image dispatch and its kernels against the per-pixel model, on frames with padded rows,
// odd widths (so the four-pixel vector steps leave a remainder) and alpha over its whole range.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

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

TEST(BlendImage, RealPicturesWithPartialAlpha) {
    cv::Mat photo = qortest::samplePicture("astronaut.png", 180);
    cv::Mat background = qortest::samplePicture("chelsea.png");
    cv::resize(background, background, photo.size());
    const cv::Rect region(0, 0, 301, 211);  // an odd width and a sub-image stride
    for (const uint32_t mode : {0u, 2u, 9u, 14u, 20u, 23u}) {
        for (const int strength : {255, 128}) {
            expectBlendMatchesModel(photo(region), background(region), {mode, strength, false});
        }
    }
}

// Worked single pixels, each a 1 x 1 blend. Normal at full strength premultiplies the destination
// even under a transparent source (mul(200, 128) = 100.39 and so on; alpha unites with 0), one step
// below full strength it leaves it alone; at strength 128 alpha is mul(255, 128) = 128. Hollow-out
// shows the source where the destination is clear and scales it by 255 - 51 elsewhere.
TEST(BlendImage, WorkedPixels) {
    struct Case {
        cv::Vec4b src, dst;
        uint32_t mode;
        int strength;
        cv::Vec4b expected;
    };
    for (const Case& c : {Case{{10, 20, 30, 0}, {200, 100, 50, 128}, 0, 255, {100, 50, 25, 128}},
                          Case{{10, 20, 30, 0}, {200, 100, 50, 128}, 0, 254, {200, 100, 50, 128}},
                          Case{{255, 0, 100, 255}, {0, 255, 100, 255}, 0, 128, {128, 127, 100, 255}},
                          Case{{9, 8, 7, 51}, {200, 100, 50, 0}, 20, 0, {9, 8, 7, 51}},
                          Case{{9, 8, 7, 51}, {200, 100, 50, 255}, 20, 0, {160, 80, 40, 204}}}) {
        cv::Mat dst(1, 1, CV_8UC4, cv::Scalar(c.dst));
        ASSERT_TRUE(imageC::blendImage(cv::Mat(1, 1, CV_8UC4, cv::Scalar(c.src)), dst, c.mode, c.strength, false, 1));
        EXPECT_EQ(dst.at<cv::Vec4b>(0, 0), c.expected) << "mode " << c.mode << " strength " << c.strength;
    }
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
