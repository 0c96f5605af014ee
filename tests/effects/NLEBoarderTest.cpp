#include "plugins/qorCommonFxPlugin/NLEBoarder.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/EffectChecks.h"

namespace {

using qortest::kUntouched;
using qortest::PaddedFrame;
using qortest::untouchedFrame;

constexpr auto mul = qortest::multiplyRounded;

struct Border {
    float opacity, amp, red, green, blue;
};

std::unique_ptr<NLEBoarder> border(const Border& b) {
    auto effect = qortest::makeEffect<NLEBoarder>();
    qortest::setFloat(*effect, "opacity", b.opacity);
    qortest::setFloat(*effect, "amp", b.amp);
    qortest::setFloat(*effect, "R", b.red);
    qortest::setFloat(*effect, "G", b.green);
    qortest::setFloat(*effect, "B", b.blue);
    return effect;
}

// Reference: a pixel is in the band unless amp <= x <= W - amp and amp <= y <= H - amp, with the
// far bounds truncated to whole pixels; band pixels are mixed with the colour by the opacity.
cv::Mat referenceBorder(const cv::Mat& in, const Border& b) {
    const int o = static_cast<int>(b.opacity * 255.0), colour[3] = {static_cast<int>(b.blue * 255.0),
                                                                    static_cast<int>(b.green * 255.0),
                                                                    static_cast<int>(b.red * 255.0)};
    const double right = std::trunc(in.cols - static_cast<double>(b.amp));
    const double bottom = std::trunc(in.rows - static_cast<double>(b.amp));
    cv::Mat out = in.clone();
    for (int y = 0; y < in.rows; ++y) {
        for (int x = 0; x < in.cols; ++x) {
            if (x >= b.amp && y >= b.amp && x <= right && y <= bottom) continue;
            cv::Vec4b& p = out.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(mul(p[c], 255 - o) + mul(colour[c], o));
        }
    }
    return out;
}

cv::Mat changedMask(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat difference, mask;
    cv::absdiff(a, b, difference);
    cv::transform(difference, mask, cv::Matx14f(1, 1, 1, 1));
    return mask > 0;
}

TEST(NLEBoarderTest, FactoryBuildsItForAlgorithmType5) { EXPECT_TRUE(qortest::factoryBuilds<NLEBoarder>(5)); }

TEST(NLEBoarderTest, InsideSpanRunsFromAmpToTheTruncatedFarBound) {
    const auto span = [](int length, double amp) {
        const cv::Range r = NLEBoarder::insideSpan(length, amp);
        return std::pair{r.start, r.end};
    };
    EXPECT_EQ(span(100, 1.0), (std::pair{1, 100}));   // band: first pixel only
    EXPECT_EQ(span(100, 10.0), (std::pair{10, 91}));  // ten pixels before, nine after
    EXPECT_EQ(span(100, 0.0), (std::pair{0, 100}));
    EXPECT_EQ(span(100, 1.5), (std::pair{2, 99}));
    EXPECT_EQ(span(100, -5.0), (std::pair{0, 100}));
    EXPECT_TRUE(NLEBoarder::insideSpan(100, 50.5).empty());
    EXPECT_TRUE(NLEBoarder::insideSpan(100, 1e30).empty());
    EXPECT_TRUE(NLEBoarder::insideSpan(100, std::numeric_limits<double>::infinity()).empty());
    EXPECT_TRUE(NLEBoarder::insideSpan(100, std::nan("")).empty());
    EXPECT_EQ(span(100, -std::numeric_limits<double>::infinity()), (std::pair{0, 100}));
}

TEST(NLEBoarderTest, DefaultBandIsTheFirstRowAndColumnInTranslucentRed) {
    const cv::Mat picture = qortest::noisePicture(100, 100, 6);
    PaddedFrame in = PaddedFrame::from(picture, 8);
    PaddedFrame out = untouchedFrame(100, 100);
    auto effect = qortest::makeEffect<NLEBoarder>();
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    // The last row and column count as inside.
    const cv::Mat changed = changedMask(out.mat(), picture);
    EXPECT_EQ(cv::countNonZero(changed.rowRange(1, 100).colRange(1, 100)), 0);
    EXPECT_GT(cv::countNonZero(changed.row(0)), 90);
    EXPECT_GT(cv::countNonZero(changed.col(0)), 90);
    EXPECT_EQ(qortest::differingBytes(out.mat(), referenceBorder(picture, {0.5f, 1.0f, 1.0f, 0.0f, 0.0f})), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEBoarderTest, AmpTenGivesTenPixelsBeforeAndNineAfter) {
    PaddedFrame in = PaddedFrame::from(cv::Mat(100, 100, CV_8UC4, cv::Scalar(20, 40, 60, 150)));
    PaddedFrame out = untouchedFrame(100, 100, 4);
    ASSERT_EQ(qortest::render(*border({1.0f, 10.0f, 0.0f, 1.0f, 0.5f}), out.frame(), in.frame()), 0);
    const cv::Mat result = out.mat();
    const cv::Vec4b band(127, 255, 0, 150), inside(20, 40, 60, 150);
    for (int i = 0; i < 100; ++i) {
        const bool inBand = i < 10 || i > 90;
        EXPECT_EQ(result.at<cv::Vec4b>(50, i), inBand ? band : inside) << "column " << i;
        EXPECT_EQ(result.at<cv::Vec4b>(i, 50), inBand ? band : inside) << "row " << i;
    }
    EXPECT_TRUE(out.paddingIntact());
}

TEST(NLEBoarderTest, PhotosFollowTheReference) {
    const Border borders[] = {{0.5f, 1.0f, 1.0f, 0.0f, 0.0f}, {0.3f, 10.0f, 0.2f, 0.9f, 0.4f},
                              {0.77f, 37.5f, 0.0f, 0.5f, 1.0f}, {0.0f, 20.0f, 1.0f, 1.0f, 1.0f}};
    for (const char* name : {"astronaut.png", "coffee.png"}) {
        const cv::Mat picture = qortest::samplePicture(name, 210);
        for (const Border& b : borders) {
            SCOPED_TRACE(std::string(name) + " amp " + std::to_string(b.amp));
            PaddedFrame in = PaddedFrame::from(picture, 12);
            PaddedFrame out = untouchedFrame(picture.cols, picture.rows, 4);
            ASSERT_EQ(qortest::render(*border(b), out.frame(), in.frame()), 0);
            EXPECT_EQ(qortest::differingBytes(out.mat(), referenceBorder(picture, b)), 0);
            EXPECT_TRUE(out.paddingIntact());
        }
    }
}

TEST(NLEBoarderTest, ZeroAmpOrZeroOpacityCopiesAndWideAmpCoversTheFrame) {
    const cv::Mat picture = qortest::noisePicture(33, 21, 2);
    PaddedFrame in = PaddedFrame::from(picture);
    PaddedFrame out = untouchedFrame(33, 21);
    ASSERT_EQ(qortest::render(*border({0.8f, 0.0f, 1.0f, 0.0f, 0.0f}), out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0);
    ASSERT_EQ(qortest::render(*border({0.0f, 5.0f, 1.0f, 0.0f, 0.0f}), out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0);

    ASSERT_EQ(qortest::render(*border({1.0f, 11.0f, 0.0f, 0.0f, 1.0f}), out.frame(), in.frame()), 0);
    std::vector<cv::Mat> planes;
    cv::split(out.mat(), planes);
    EXPECT_EQ(cv::countNonZero(planes[0] != 255), 0);
    EXPECT_EQ(cv::countNonZero(planes[1]) + cv::countNonZero(planes[2]), 0);
    std::vector<cv::Mat> inputPlanes;
    cv::split(picture, inputPlanes);
    EXPECT_EQ(qortest::differingBytes(planes[3], inputPlanes[3]), 0);
}

TEST(NLEBoarderTest, ValuesOutsideTheUnitRangeAreHeldToIt) {
    const cv::Mat picture = qortest::noisePicture(30, 30, 4);
    PaddedFrame in = PaddedFrame::from(picture);
    PaddedFrame out = untouchedFrame(30, 30);
    ASSERT_EQ(qortest::render(*border({3.0f, 4.0f, 7.0f, -2.0f, std::nanf("")}), out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), referenceBorder(picture, {1.0f, 4.0f, 1.0f, 0.0f, 0.0f})), 0);
}

TEST(NLEBoarderTest, LargerOutputGetsTheInputAreaOnly) {
    const cv::Mat picture = qortest::noisePicture(20, 10, 3);
    PaddedFrame in = PaddedFrame::from(picture);
    PaddedFrame out = untouchedFrame(25, 12);
    ASSERT_EQ(qortest::render(*border({0.5f, 2.0f, 1.0f, 0.0f, 0.0f}), out.frame(), in.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat()(cv::Rect(0, 0, 20, 10)),
                                      referenceBorder(picture, {0.5f, 2.0f, 1.0f, 0.0f, 0.0f})),
              0);
    EXPECT_EQ(cv::countNonZero(out.mat().colRange(20, 25).reshape(1) != kUntouched), 0);
    EXPECT_EQ(cv::countNonZero(out.mat().rowRange(10, 12).reshape(1) != kUntouched), 0);
}

TEST(NLEBoarderTest, RefusalsLeaveTheOutputAndItsPaddingUntouched) {
    qortest::expectRefusalsLeaveOutputUntouched(*qortest::makeEffect<NLEBoarder>(), 1);
}

}  // namespace
