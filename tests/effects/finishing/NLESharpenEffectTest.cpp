#include "plugins/qorCommonFxPlugin/finishing/NLESharpenEffect.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "framework/copyPlane.h"
#include "support/EffectChecks.h"

namespace {

using qortest::PaddedFrame;
using qortest::untouchedFrame;

std::unique_ptr<NLESharpenEffect> sharpenWithAmount(float amount) {
    auto effect = qortest::makeEffect<NLESharpenEffect>();
    qortest::setFloat(*effect, "amount", amount);
    return effect;
}

// Renders `picture` (rows padded by `inPadding`) at `amount` and returns the output's pixels.
cv::Mat sharpened(const cv::Mat& picture, float amount, int inPadding = 12) {
    return qortest::rendered(*sharpenWithAmount(amount), picture, {}, inPadding);
}

// Reference of the sharpen path for amounts whose gain is a whole number, in exact integer
// arithmetic: studio-range luma with truncated coefficients 0.257, 0.504, 0.098 on bytes 0, 1, 2;
// v = (Y - B) * gain + Y - 128; contrast 1.1 about 128 and the 1.164 scale back, both truncated.
cv::Mat referenceSharpen(const cv::Mat& in, int gain) {
    cv::Mat luma(in.size(), CV_8UC1), blurred;
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const cv::Vec4b p = in.at<cv::Vec4b>(y, x);
            luma.at<uint8_t>(y, x) =
                static_cast<uint8_t>(16 + 257 * p[0] / 1000 + 504 * p[1] / 1000 + 98 * p[2] / 1000);
        }
    }
    cv::GaussianBlur(luma, blurred, cv::Size(0, 0), 2.0, 2.0, cv::BORDER_REFLECT_101);
    cv::Mat out(in.size(), CV_8UC4);
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            const int l = luma.at<uint8_t>(y, x);
            const int v = (l - blurred.at<uint8_t>(y, x)) * gain + l - 128;
            const int lifted = v > 116 ? 255 : v < -116 ? 0 : (11 * v + 1280) / 10;
            const int change = (lifted - l) * 1164 / 1000;  // truncation toward zero
            const cv::Vec4b p = in.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c) out.at<cv::Vec4b>(y, x)[c] = cv::saturate_cast<uint8_t>(p[c] + change);
            out.at<cv::Vec4b>(y, x)[3] = p[3];
        }
    }
    return out;
}

cv::Mat flat(int width, int height, const cv::Scalar& colour) { return cv::Mat(height, width, CV_8UC4, colour); }

// On a flat frame the blurred luma equals the luma, so each output is a function of the luma
// alone: sweeping every byte value of each colour channel checks the three luma tables, and the
// low lumas reached (18, 28, 38) are where a double-precision contrast step would round down.
TEST(NLESharpenEffectTest, FlatFramesFollowTheLumaTablesForEveryByteOfEachChannel) {
    auto effect = sharpenWithAmount(50);
    for (int channel = 0; channel < 3; ++channel) {
        for (int value = 0; value < 256; ++value) {
            cv::Vec4b colour(0, 0, 0, 200);
            colour[channel] = static_cast<uint8_t>(value);
            PaddedFrame in = PaddedFrame::from(flat(13, 12, colour), 8);
            PaddedFrame out = untouchedFrame(13, 12);
            ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
            ASSERT_EQ(qortest::differingBytes(out.mat(), referenceSharpen(in.mat(), 1)), 0) << channel << " " << value;
        }
    }
}

// chelsea.png is 451 pixels wide: rows end between the four-pixel steps of the vector path.
TEST(NLESharpenEffectTest, SharpensPhotosLikeTheIntegerReference) {
    for (const char* name : {"astronaut.png", "chelsea.png"}) {
        const cv::Mat picture = qortest::samplePicture(name, 180);
        for (const float amount : {50.0f, 100.0f}) {
            SCOPED_TRACE(std::string(name) + " amount " + std::to_string(amount));
            const cv::Mat expected = referenceSharpen(picture, static_cast<int>(amount / 50));
            EXPECT_EQ(qortest::differingBytes(sharpened(picture, amount), expected), 0);
        }
    }
}

// Frames of at most ten pixels a side and amount 0 copy the input, between rows of different
// strides.
TEST(NLESharpenEffectTest, CopyCases) {
    const cv::Mat grey = flat(10, 10, {128, 128, 128, 255}), photo = qortest::samplePicture("chelsea.png", 140);
    EXPECT_EQ(qortest::differingBytes(sharpened(grey, 80), grey), 0);
    EXPECT_EQ(qortest::differingBytes(sharpened(photo, 0, 24), photo), 0);
}

// The longer side counts in units of 640 pixels, fractions included: frames below 640 pixels
// (previews, proxies) soften as well.
TEST(NLESharpenEffectTest, SoftenKernelGrowsWithAmountAndResolution) {
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-100, 1080, 1920), 15);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-100, 1279, 720), 10);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-100, 639, 480), 5);
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-20, 96, 64), 0);
    // Past the declared minimum the kernel grows no further, so no amount costs more than -100.
    EXPECT_EQ(NLESharpenEffect::softenKernelSize(-3.4e38, 3840, 2160),
              NLESharpenEffect::softenKernelSize(-100, 3840, 2160));
}

TEST(NLESharpenEffectTest, SoftenBoxSizesApproximateTheGaussianOfTheKernel) {
    using Boxes = std::array<int, 3>;
    EXPECT_EQ(NLESharpenEffect::softenBoxSizes(0), (Boxes{1, 1, 1}));
    // sigma 1.1: ideal 2.42, lower 2 made odd: 1; one box of 1.
    EXPECT_EQ(NLESharpenEffect::softenBoxSizes(5), (Boxes{1, 3, 3}));
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

// Amount -20 on 640 x 360 and -100 on a 96 x 64 preview are one 3 x 3 box; -100 on full HD is
// kernel 15, three boxes of 5, 5 and 7, over the whole frame and all four channels.
TEST(NLESharpenEffectTest, SoftenRunsItsBoxesOverAllChannels) {
    struct Case {
        const char* name;
        cv::Size size;
        float amount;
        std::vector<int> boxes;
    };
    for (const Case& c :
         {Case{"rocket.jpg", {640, 360}, -20, {3}}, Case{"chelsea.png", {96, 64}, -100, {3}},
          Case{"coffee.png", {1920, 1080}, -100, {5, 5, 7}}}) {
        cv::Mat photo;
        cv::resize(qortest::samplePicture(c.name, 170), photo, c.size, 0, 0, cv::INTER_AREA);
        cv::Mat expected = photo.clone();
        for (const int size : c.boxes) {
            cv::blur(expected, expected, cv::Size(size, size), cv::Point(-1, -1), cv::BORDER_REFLECT_101);
        }
        EXPECT_EQ(qortest::differingBytes(sharpened(photo, c.amount, 16), expected), 0) << c.amount;
    }
}

// A host may hand the main input as the output: the bands of the soften path must still read the
// original rows where they meet.
TEST(NLESharpenEffectTest, SoftensInPlaceAsIntoAnotherBuffer) {
    cv::Mat photo;
    cv::resize(qortest::samplePicture("coffee.png", 120), photo, cv::Size(1280, 719), 0, 0, cv::INTER_AREA);
    PaddedFrame frame = PaddedFrame::from(photo, 8);
    auto effect = sharpenWithAmount(-100);
    ASSERT_EQ(qortest::render(*effect, frame.frame(), frame.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(frame.mat(), sharpened(photo, -100)), 0);
}

// Frames of another size are refused with 3 whatever the amount; an amount that is not a number
// with 1.
TEST(NLESharpenEffectTest, RefusalsWithTheirCodes) {
    auto effect = sharpenWithAmount(50);
    for (const float amount : {0.0f, 50.0f, -50.0f}) {
        qortest::setFloat(*effect, "amount", amount);
        qortest::expectRefusals(*effect, 3);
    }
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(40, 30, 9));
    PaddedFrame larger = untouchedFrame(40, 31), out = untouchedFrame(40, 30);
    EXPECT_EQ(qortest::render(*effect, larger.frame(), in.frame()), 3);
    qortest::setFloat(*effect, "amount", std::nanf(""));
    EXPECT_EQ(qortest::render(*effect, out.frame(), in.frame()), 1);
    EXPECT_TRUE(qortest::leftUntouched(larger) && qortest::leftUntouched(out));
}

TEST(CopyPlaneTest, CopiesPixelsWithEqualAndDifferentStridesWithoutTouchingPadding) {
    const cv::Mat picture = qortest::noisePicture(37, 21, 4);
    for (const int inPadding : {0, 12}) {
        for (const int outPadding : {0, 12, 28}) {
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
    EXPECT_TRUE(qortest::leftUntouched(out));
}

}  // namespace

// Edge energy (mean absolute Laplacian of the grey picture) rises with the amount: sharpening
// raises it, softening lowers it, amount 0 leaves the picture as it is.
TEST(NLESharpenEffectTest, EdgeEnergyRisesWithTheAmount) {
    cv::Mat photo;
    cv::resize(qortest::samplePicture("astronaut.png", 210), photo, cv::Size(700, 700), 0, 0, cv::INTER_CUBIC);
    const auto edgeEnergy = [](const cv::Mat& picture) {
        cv::Mat grey, laplacian;
        cv::cvtColor(picture, grey, cv::COLOR_BGRA2GRAY);
        cv::Laplacian(grey, laplacian, CV_32F);
        return cv::mean(cv::abs(laplacian))[0];
    };
    double previous = 0;
    for (const float amount : {-100.0f, -40.0f, 0.0f, 50.0f, 100.0f}) {
        const double energy = edgeEnergy(sharpened(photo, amount));
        EXPECT_GT(energy, previous) << amount;
        previous = energy;
    }
    EXPECT_EQ(qortest::differingBytes(sharpened(photo, 0), photo), 0);
}
