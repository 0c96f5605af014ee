#include "plugins/qorCommonFxPlugin/NLESharpenEffect.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "framework/copyPlane.h"
#include "support/EffectChecks.h"

namespace {

using qortest::kUntouched;
using qortest::PaddedFrame;
using qortest::untouchedFrame;

std::unique_ptr<NLESharpenEffect> sharpenWithAmount(float amount) {
    auto effect = qortest::makeEffect<NLESharpenEffect>();
    qortest::setFloat(*effect, "amount", amount);
    return effect;
}

// Reference of the sharpen path for amounts whose gain is a whole number, in exact integer
// arithmetic: studio-range luma with truncated coefficients 0.257, 0.504, 0.098 on bytes 0, 1, 2;
// v = (Y - B) * gain + Y - 128; contrast 1.1 about 128 and the 1.164 scale back, both truncated.
cv::Mat referenceSharpen(const cv::Mat& in, int gain) {
    cv::Mat luma(in.size(), CV_8UC1);
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const cv::Vec4b p = in.at<cv::Vec4b>(y, x);
            luma.at<uint8_t>(y, x) = static_cast<uint8_t>(16 + 257 * p[0] / 1000 + 504 * p[1] / 1000 + 98 * p[2] / 1000);
        }
    }
    cv::Mat blurred;
    cv::GaussianBlur(luma, blurred, cv::Size(0, 0), 2.0, 2.0, cv::BORDER_REFLECT_101);
    cv::Mat out(in.size(), CV_8UC4);
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const int l = luma.at<uint8_t>(y, x);
            const int v = (l - blurred.at<uint8_t>(y, x)) * gain + l - 128;
            const int lifted = v > 116 ? 255 : v < -116 ? 0 : (11 * v + 1280) / 10;
            const int change = (lifted - l) * 1164 / 1000;  // truncation toward zero
            const cv::Vec4b p = in.at<cv::Vec4b>(y, x);
            cv::Vec4b& o = out.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c) o[c] = cv::saturate_cast<uint8_t>(p[c] + change);
            o[3] = p[3];
        }
    }
    return out;
}

TEST(NLESharpenEffectTest, FactoryBuildsItForAlgorithmType4) { EXPECT_TRUE(qortest::factoryBuilds<NLESharpenEffect>(4)); }

// On a flat frame the blurred luma equals the luma, so each output is a function of the luma
// alone: sweeping every byte value of each colour channel checks the three luma tables, and the
// low lumas reached (18, 28, 38) are where a double-precision contrast step would round down.
TEST(NLESharpenEffectTest, FlatFramesFollowTheLumaTablesForEveryByteOfEachChannel) {
    auto effect = sharpenWithAmount(50);
    for (int channel = 0; channel < 3; ++channel) {
        for (int value = 0; value < 256; ++value) {
            cv::Vec4b colour(0, 0, 0, 200);
            colour[channel] = static_cast<uint8_t>(value);
            PaddedFrame in = PaddedFrame::from(cv::Mat(12, 13, CV_8UC4, cv::Scalar(colour)), 8);
            PaddedFrame out = untouchedFrame(13, 12);
            ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
            const cv::Mat expected = referenceSharpen(in.mat(), 1);
            ASSERT_EQ(qortest::differingBytes(out.mat(), expected), 0) << "channel " << channel << " value " << value;
        }
    }
}

TEST(NLESharpenEffectTest, SaturatedWhiteLiftsLumaTo243AndClampsColours) {
    // Y = 233, v = 105, lifted int(105 * 1.1 + 128) = 243, change int(10 * 1.164) = 11: the
    // colours saturate at 255 instead of wrapping round.
    PaddedFrame white = PaddedFrame::from(cv::Mat(40, 30, CV_8UC4, cv::Scalar(255, 255, 255, 90)));
    PaddedFrame out = untouchedFrame(30, 40);
    ASSERT_EQ(qortest::render(*sharpenWithAmount(50), out.frame(), white.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), white.mat()), 0);

    // Bytes (0, 250, 0): Y = 16 + 0 + 126 + 0 = 142, v = 14, lifted 143, change int(1.164) = 1.
    PaddedFrame green = PaddedFrame::from(cv::Mat(40, 30, CV_8UC4, cv::Scalar(0, 250, 0, 90)));
    ASSERT_EQ(qortest::render(*sharpenWithAmount(50), out.frame(), green.frame()), 0);
    EXPECT_EQ(out.mat().at<cv::Vec4b>(20, 15), cv::Vec4b(1, 251, 1, 90));
    EXPECT_TRUE(out.paddingIntact());
}

// chelsea.png is 451 pixels wide: rows end between the four-pixel steps of the vector path.
TEST(NLESharpenEffectTest, SharpensPhotosLikeTheIntegerReference) {
    for (const char* name : {"astronaut.png", "chelsea.png"}) {
        for (float amount : {50.0f, 100.0f}) {
            SCOPED_TRACE(std::string(name) + " amount " + std::to_string(amount));
            PaddedFrame in = PaddedFrame::from(qortest::samplePicture(name, 180), 12);
            PaddedFrame out = untouchedFrame(in.width(), in.height(), 4);
            ASSERT_EQ(qortest::render(*sharpenWithAmount(amount), out.frame(), in.frame()), 0);
            const cv::Mat expected = referenceSharpen(in.mat(), static_cast<int>(amount / 50));
            EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
            EXPECT_TRUE(out.paddingIntact());
            EXPECT_TRUE(in.paddingIntact());
        }
    }
}

TEST(NLESharpenEffectTest, SmallFramesAreCopiedButElevenByOneIsProcessed) {
    const cv::Mat grey(10, 10, CV_8UC4, cv::Scalar(128, 128, 128, 255));
    PaddedFrame tiny = PaddedFrame::from(grey);
    PaddedFrame out = untouchedFrame(10, 10);
    ASSERT_EQ(qortest::render(*sharpenWithAmount(80), out.frame(), tiny.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), grey), 0);

    // Y = 16 + 32 + 64 + 12 = 124, v = -4, lifted 123, change int(-1.164) = -1.
    PaddedFrame row = PaddedFrame::from(cv::Mat(1, 11, CV_8UC4, cv::Scalar(128, 128, 128, 255)));
    PaddedFrame rowOut = untouchedFrame(11, 1);
    ASSERT_EQ(qortest::render(*sharpenWithAmount(50), rowOut.frame(), row.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(rowOut.mat(), cv::Mat(1, 11, CV_8UC4, cv::Scalar(127, 127, 127, 255))), 0);
}

TEST(NLESharpenEffectTest, ZeroAmountCopiesBetweenDifferentStrides) {
    PaddedFrame in = PaddedFrame::from(qortest::samplePicture("chelsea.png", 140), 24);
    PaddedFrame out = untouchedFrame(in.width(), in.height(), 4);
    ASSERT_EQ(qortest::render(*sharpenWithAmount(0), out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), in.mat()), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLESharpenEffectTest, SoftenKernelGrowsWithAmountAndWholeMultiplesOf640) {
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-20, 640, 360), 1);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-100, 1920, 1080), 15);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-100, 1080, 1920), 15);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-100, 1279, 720), 5);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-100, 639, 480), 0);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-3e38, 1920, 1080), 1920);
}

TEST(NLESharpenEffectTest, SoftenBoxSizesApproximateTheGaussianOfTheKernel) {
    using Boxes = std::array<int, 3>;
    EXPECT_EQ(NLESharpenEffect::softenBoxSizes(0), (Boxes{1, 1, 1}));
    // sigma 0.5: ideal width sqrt(2), lower 1, two boxes of 1 and one of 3.
    EXPECT_EQ(NLESharpenEffect::softenBoxSizes(1), (Boxes{1, 1, 3}));
    // sigma 1.1: ideal 2.42, lower 2 made odd: 1; one box of 1.
    EXPECT_EQ(NLESharpenEffect::softenBoxSizes(5), (Boxes{1, 3, 3}));
    // sigma 2.6: ideal 5.30, lower 5, m = int(62.88 / 24) = 2 boxes of 5.
    EXPECT_EQ(NLESharpenEffect::softenBoxSizes(15), (Boxes{5, 5, 7}));
    for (int k = 1; k < 200; ++k) {
        const Boxes boxes = NLESharpenEffect::softenBoxSizes(k);
        const double sigma = ((k - 1) * 0.5 - 1) * 0.3 + 0.8;
        double variance = 0;
        for (int size : boxes) {
            EXPECT_EQ(size % 2, 1) << k;
            variance += (size * size - 1) / 12.0;
        }
        // Three boxes of odd width can miss the target by less than one width step.
        EXPECT_NEAR(std::sqrt(variance), sigma, 1.0) << k;
    }
}

TEST(NLESharpenEffectTest, SoftenAtMinus20On640By360IsOneThreeByThreeBoxOverAllChannels) {
    cv::Mat photo;
    cv::resize(qortest::samplePicture("rocket.jpg", 170), photo, cv::Size(640, 360), 0, 0, cv::INTER_AREA);
    PaddedFrame in = PaddedFrame::from(photo, 16);
    PaddedFrame out = untouchedFrame(640, 360, 8);
    ASSERT_EQ(qortest::render(*sharpenWithAmount(-20), out.frame(), in.frame()), 0);
    cv::Mat expected;
    cv::blur(photo, expected, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REFLECT_101);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLESharpenEffectTest, SoftenAtMinus100OnFullHdIsThreeBoxesOverTheWholeFrame) {
    cv::Mat photo;
    cv::resize(qortest::samplePicture("coffee.png", 120), photo, cv::Size(1920, 1080), 0, 0, cv::INTER_LINEAR);
    PaddedFrame in = PaddedFrame::from(photo, 8);
    PaddedFrame out = untouchedFrame(1920, 1080, 4);
    ASSERT_EQ(qortest::render(*sharpenWithAmount(-100), out.frame(), in.frame()), 0);
    cv::Mat expected = photo.clone();
    for (int size : {5, 5, 7}) {  // kernel 15
        cv::boxFilter(expected, expected, -1, cv::Size(size, size), cv::Point(-1, -1), true, cv::BORDER_REFLECT_101);
    }
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLESharpenEffectTest, SoftenBelow640PixelsLeavesTheFrameAsItIs) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(639, 300, 5));
    PaddedFrame out = untouchedFrame(639, 300);
    ASSERT_EQ(qortest::render(*sharpenWithAmount(-100), out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), in.mat()), 0);
}

TEST(NLESharpenEffectTest, RefusalsLeaveTheOutputAndItsPaddingUntouched) {
    auto effect = sharpenWithAmount(50);
    for (float amount : {0.0f, 50.0f, -50.0f}) {
        qortest::setFloat(*effect, "amount", amount);
        qortest::expectRefusalsLeaveOutputUntouched(*effect, 3);
    }
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(40, 30, 9));
    PaddedFrame larger = untouchedFrame(40, 31);
    EXPECT_EQ(qortest::render(*effect, larger.frame(), in.frame()), 3);
    EXPECT_TRUE(qortest::leftUntouched(larger));

    PaddedFrame out = untouchedFrame(40, 30);
    qortest::setFloat(*effect, "amount", std::nanf(""));
    EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 1);
    EXPECT_TRUE(qortest::leftUntouched(out));
}

TEST(CopyPlaneTest, CopiesPixelsWithEqualAndDifferentStridesWithoutTouchingPadding) {
    const cv::Mat picture = qortest::noisePicture(37, 21, 4);
    for (int inPadding : {0, 12}) {
        for (int outPadding : {0, 12, 28}) {
            SCOPED_TRACE(std::to_string(inPadding) + " / " + std::to_string(outPadding));
            PaddedFrame in = PaddedFrame::from(picture, inPadding);
            PaddedFrame out = untouchedFrame(37, 21, outPadding);
            ASSERT_TRUE(tessel::copyPlane(in.data(), out.data(), 37, 21, in.stride(), out.stride()));
            EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0);
            EXPECT_TRUE(out.paddingIntact());
        }
    }
}

TEST(CopyPlaneTest, RefusesNullPointersBadSizesAndShortStrides) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(8, 4, 2));
    PaddedFrame out = untouchedFrame(8, 4);
    const int s = out.stride();
    EXPECT_FALSE(tessel::copyPlane(nullptr, out.data(), 8, 4, s, s));
    EXPECT_FALSE(tessel::copyPlane(in.data(), nullptr, 8, 4, s, s));
    EXPECT_FALSE(tessel::copyPlane(in.data(), out.data(), 0, 4, s, s));
    EXPECT_FALSE(tessel::copyPlane(in.data(), out.data(), 8, -1, s, s));
    EXPECT_FALSE(tessel::copyPlane(in.data(), out.data(), 8, 4, 31, s));
    EXPECT_FALSE(tessel::copyPlane(in.data(), out.data(), 8, 4, s, 31));
    EXPECT_EQ(cv::countNonZero(out.mat().reshape(1) != kUntouched), 0);
    EXPECT_TRUE(out.paddingIntact());
}

}  // namespace
