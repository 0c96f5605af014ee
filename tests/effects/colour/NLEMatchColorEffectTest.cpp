#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include <opencv2/imgproc.hpp>

#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"
#include "plugins/qorCommonFxPlugin/colour/NLEMatchColorEffect.h"
#include "effects/colour/ColourMatchTesting.h"
#include "support/EffectChecks.h"

using qortest::maxDifference;
using qortest::PaddedFrame;
using Targets = std::array<float, 6>;  // means of l, α, β, then their deviations

namespace {

// ---- An independent reference in double precision with the C library's log10 and pow. ----

const double kSqrt2 = std::sqrt(2.0), kSqrt3 = std::sqrt(3.0), kSqrt6 = std::sqrt(6.0);

cv::Vec3d referenceLab(const cv::Vec4b& p) {
    const auto logOf = [&](double r, double g, double b) {
        return std::log10(std::max((r * p[2] + g * p[1] + b * p[0]) / 255.0, 0.03));
    };
    const double l = logOf(0.3811, 0.5783, 0.0402), m = logOf(0.1967, 0.7244, 0.0782), s = logOf(0.0241, 0.1288, 0.8444);
    return {(l + m + s) / kSqrt3, (l + m - 2 * s) / kSqrt6, (l - m) / kSqrt2};
}

cv::Vec3d referenceBgr(const cv::Vec3d& lab) {
    const double l = std::pow(10.0, lab[0] / kSqrt3 + lab[1] / kSqrt6 + lab[2] / kSqrt2);
    const double m = std::pow(10.0, lab[0] / kSqrt3 + lab[1] / kSqrt6 - lab[2] / kSqrt2);
    const double s = std::pow(10.0, lab[0] / kSqrt3 - 2 * lab[1] / kSqrt6);
    return {0.0497 * l - 0.2439 * m + 1.2045 * s, -1.2186 * l + 2.3809 * m - 0.1624 * s,
            4.4679 * l - 3.5873 * m + 0.1193 * s};
}

cv::Mat referenceMatch(const cv::Mat& picture, const Targets& targets, double strength) {
    std::vector<cv::Vec3d> labs;
    cv::Vec3d sum, squares;
    for (auto it = picture.begin<cv::Vec4b>(); it != picture.end<cv::Vec4b>(); ++it) {
        labs.push_back(referenceLab(*it));
        sum += labs.back();
        squares += labs.back().mul(labs.back());
    }
    const double n = static_cast<double>(labs.size());
    cv::Vec3d mean = sum / n, ratio;
    for (int k = 0; k < 3; ++k) {
        const double deviation = std::sqrt(std::max(squares[k] / n - mean[k] * mean[k], 0.0));
        ratio[k] = deviation < 1e-5 ? 1.0 : std::clamp(targets[3 + k] / deviation, 0.0, 1.5);
    }
    cv::Mat result(picture.size(), CV_8UC4);
    for (int i = 0; i < picture.rows * picture.cols; ++i) {
        const cv::Vec4b in = picture.at<cv::Vec4b>(i / picture.cols, i % picture.cols);
        cv::Vec3d moved;
        for (int k = 0; k < 3; ++k) moved[k] = (labs[i][k] - mean[k]) * ratio[k] + targets[k];
        const cv::Vec3d bgr = referenceBgr(moved);
        cv::Vec4b& out = result.at<cv::Vec4b>(i / picture.cols, i % picture.cols);
        for (int c = 0; c < 3; ++c) {
            const double mixed = std::clamp(bgr[c], 0.0, 1.0) * 255 * strength + in[c] * (1 - strength);
            out[c] = cv::saturate_cast<uint8_t>(mixed * in[3] / 255.0);
        }
        out[3] = in[3];
    }
    return result;
}

// ---- Helpers. ----

std::unique_ptr<NLEMatchColorEffect> matchEffect(const Targets& targets, int strength = 100, int enabled = 1) {
    auto effect = qortest::makeEffect<NLEMatchColorEffect>();
    const char* names[] = {"mean_b", "mean_g", "mean_r", "stddb", "stddg", "stddr"};
    for (int i = 0; i < 6; ++i) qortest::setFloat(*effect, names[i], targets[i]);
    qortest::setInts(*effect, {{"Enabled", enabled}, {"strength", strength}});
    return effect;
}

Targets measured(const cv::Mat& picture) {
    Targets targets{};
    EXPECT_TRUE(labColour::firstVersionTargets(qortest::frameOf(picture), targets));
    return targets;
}

// The coffee picture with a black band (the floor of L, M, S) and alphas over 0..255 by column,
// 0 in column 0.
cv::Mat testPicture(cv::Size size = {150, 100}) {
    cv::Mat picture;
    cv::resize(qortest::samplePicture("coffee.png"), picture, size, 0, 0, cv::INTER_AREA);
    picture.rowRange(0, 6).setTo(cv::Scalar(0, 0, 0, 255));
    for (int x = 0; x < picture.cols; ++x) picture.col(x).reshape(1).colRange(3, 4).setTo(x * 37 % 256);
    return picture;
}

const Targets kSunset = {-0.35f, 0.12f, 0.06f, 0.25f, 0.08f, 0.05f};

}  // namespace

TEST(MatchColour, RefusesUnusableBuffers) {
    auto effect = matchEffect(kSunset);
    qortest::expectRefusals(*effect, 1);
}

// Single precision against the double-precision reference: the bytes may differ by one where a
// value lies near a rounding boundary. Frames above 230400 pixels take the striped path.
TEST(MatchColour, MatchesTheDoublePrecisionReferenceSingleAndStriped) {
    for (const cv::Size size : {cv::Size(150, 100), cv::Size(641, 360)}) {
        const cv::Mat picture = testPicture(size);
        for (const int strength : {100, 40}) {
            auto effect = matchEffect(kSunset, strength);
            const cv::Mat out = qortest::rendered(*effect, picture);
            EXPECT_LE(maxDifference(out, referenceMatch(picture, kSunset, strength / 100.0)), 1)
                << size << " strength " << strength;
        }
    }
}

// Disabled, or enabled without any target, the frame passes byte for byte (no premultiplication).
TEST(MatchColour, PassesTheFrameUnchangedWhenOffOrWithoutTargets) {
    const cv::Mat picture = testPicture();
    auto disabled = matchEffect(kSunset, 100, 0);
    auto empty = matchEffect(Targets{});
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*disabled, picture), picture), 0);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*empty, picture), picture), 0);
}

// Strength 0 premultiplies the input; strengths beyond 0..100 act as the nearest end; alpha 0 gives
// a fully transparent black pixel.
TEST(MatchColour, StrengthIsBoundedAndAlphaPremultiplies) {
    const cv::Mat picture = testPicture();
    cv::Mat premultiplied = picture.clone();
    premultiplied.forEach<cv::Vec4b>([](cv::Vec4b& p, const int*) {
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::nearbyint(p[c] * (p[3] / 255.0f)));
    });
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(kSunset, 0), picture), premultiplied), 0);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(kSunset, -20), picture), premultiplied), 0);
    const cv::Mat full = qortest::rendered(*matchEffect(kSunset, 100), picture);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(kSunset, 250), picture), full), 0);
    for (int y = 0; y < picture.rows; ++y) EXPECT_EQ(full.at<cv::Vec4b>(y, 0), cv::Vec4b(0, 0, 0, 0));
}

// A uniform frame has no spread: each channel is only shifted, so targets equal to its own lαβ
// give back the colour, whatever deviations are asked for.
TEST(MatchColour, UniformFrameIsOnlyShifted) {
    const cv::Mat picture(30, 40, CV_8UC4, cv::Scalar(60, 120, 200, 255));
    const cv::Vec3d lab = referenceLab(picture.at<cv::Vec4b>(0, 0));
    const Targets own = {float(lab[0]), float(lab[1]), float(lab[2]), 0.5f, 0.5f, 0.5f};
    EXPECT_LE(maxDifference(qortest::rendered(*matchEffect(own), picture), picture), 1);
}

// Scales are limited to 0..1.5: any larger target deviation acts as 1.5 times the frame's, and a
// negative one as 0.
TEST(MatchColour, ChannelScalesAreLimited) {
    const cv::Mat picture = testPicture();
    const Targets own = measured(picture);
    Targets limit = kSunset, beyond = kSunset, zero = kSunset, negative = kSunset;
    for (int k = 0; k < 3; ++k) {
        limit[3 + k] = 1.5f * own[3 + k];
        beyond[3 + k] = 50.0f;
        zero[3 + k] = 0.0f;
        negative[3 + k] = -2.0f;
    }
    EXPECT_LE(maxDifference(qortest::rendered(*matchEffect(limit), picture),
                            qortest::rendered(*matchEffect(beyond), picture)), 1);
    EXPECT_EQ(qortest::differingBytes(qortest::rendered(*matchEffect(zero), picture),
                                      qortest::rendered(*matchEffect(negative), picture)), 0);
}

// The eight- and four-pixel paths against the one-pixel path, pixel by pixel on an odd width: the
// same plane values and the same bytes, nothing written beyond the width.
TEST(MatchColour, LanePathsEqualTheOnePixelPath) {
    const int width = 37, height = 9;
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(width, height, 4), 4);
    labColour::LabPlanes fast, plain;
    ASSERT_TRUE(fast.allocate(width, height) && plain.allocate(width, height));
    const auto planeStride = fast.stride();
    labColour::bgrx2labf(in.data(), in.stride(), fast.plane(0), fast.plane(1), fast.plane(2), planeStride, width,
                         height, labColour::kFirstVersionFloor, true);
    for (int x = 0; x < width; ++x) {
        labColour::bgrx2labf(in.data() + 4 * x, in.stride(), plain.plane(0) + x, plain.plane(1) + x,
                             plain.plane(2) + x, planeStride, 1, height, labColour::kFirstVersionFloor, true);
    }
    for (int k = 0; k < 3; ++k) EXPECT_EQ(cv::countNonZero(fast.mat(k) != plain.mat(k)), 0) << "plane " << k;

    const NLEMatchColorEffect::Replacement replacement{{-0.5f, 0.01f, 0.02f}, {-0.3f, 0.1f, 0.05f}, {1.2f, 0.7f, 1.5f},
                                                      0.8f};
    PaddedFrame outFast = qortest::untouchedFrame(width, height), outPlain = qortest::untouchedFrame(width, height);
    NLEMatchColorEffect::labf2bgrxAndReplace(in.data(), in.stride(), fast.plane(0), fast.plane(1), fast.plane(2),
                                             planeStride, outFast.data(), outFast.stride(), width, height, replacement);
    for (int x = 0; x < width; ++x) {
        NLEMatchColorEffect::labf2bgrxAndReplace(in.data() + 4 * x, in.stride(), fast.plane(0) + x,
                                                 fast.plane(1) + x, fast.plane(2) + x, planeStride,
                                                 outPlain.data() + 4 * x, outPlain.stride(), 1, height, replacement);
    }
    EXPECT_EQ(outFast.bytes(), outPlain.bytes());
    EXPECT_TRUE(outFast.paddingIntact());
}

// The library-free logarithm and exponential against the C library's, over the range the
// conversions use: the logarithm within 1e-6 (a few units in the last place of values up to 2.5),
// the power within 4 units in the last place plus those of rounding x·ln 10 to single precision.
TEST(MatchColour, OwnLogarithmAndPowerAreAccurate) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> positive(0.003f, 1.0f), exponent(-30.0f, 30.0f);
    for (int i = 0; i < 100000; ++i) {
        const float x = positive(random), y = exponent(random);
        EXPECT_NEAR(labColour::log10Of(x), std::log10(x), 1e-6) << x;
        const float power = labColour::power10Of(y / 10.0f);
        const double units = 4 + std::abs(y / 10.0 * std::log(10.0));
        EXPECT_NEAR(power, std::pow(10.0, y / 10.0), units * std::numeric_limits<float>::epsilon() * power) << y;
    }
    EXPECT_GT(labColour::power10Of(38.3f), 1e38f) << "the top of the range stays finite";
    EXPECT_LT(labColour::power10Of(38.4f), std::numeric_limits<float>::infinity());
}

TEST(MatchColour, StripesStartAbove230400PixelsAndAreEven) {
    EXPECT_EQ(labColour::stripeCount(640 * 360), 1);
    EXPECT_EQ(labColour::stripeCount(641 * 360), 2);
    EXPECT_EQ(labColour::stripeCount(1920 * 1080), 10);
}
