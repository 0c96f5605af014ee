#include "plugins/qorCommonFxPlugin/NLECircleHighlight.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "effects/OverlayReference.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace {

using qortest::PaddedFrame;

struct Highlight {
    float radius = 0.1f;
    float softness = 0.1f;
    float opacity = 0.7f;
    float mouseX = 500.0f;
    float mouseY = 500.0f;
    int red = 0, green = 255, blue = 255;
};

// Every pixel of the frame (not only the box around the mouse) per the disc's description.
cv::Mat highlightReference(const cv::Mat& picture, const Highlight& h) {
    cv::Mat expected = picture.clone();
    const double r = h.radius * 0.25;
    const double s = h.softness * 0.2;
    const double outer = (s + 1 + 0.01) * r;
    const double inner = (1 - s - 0.01) * r;
    const double opacity = overlayref::unit(h.opacity);
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            const float dx = static_cast<float>(x) - h.mouseX;
            const float dy = static_cast<float>(y) - h.mouseY;
            const float dist = overlayref::approximateSqrt(dx * dx + dy * dy) / static_cast<float>(picture.cols);
            if (!(dist < outer)) continue;
            const double t = overlayref::unit((dist - inner) / (outer - inner));
            const double a = overlayref::unit((1 - (3 - 2 * t) * t * t) * opacity);
            cv::Vec4b& pixel = expected.at<cv::Vec4b>(y, x);
            pixel[0] = overlayref::mix(pixel[0], h.blue, a);
            pixel[1] = overlayref::mix(pixel[1], h.green, a);
            pixel[2] = overlayref::mix(pixel[2], h.red, a);
        }
    }
    return expected;
}

class NLECircleHighlightTest : public ::testing::Test {
protected:
    int32_t render(const Highlight& h, PaddedFrame& out, PaddedFrame& in) {
        set(h);
        return qortest::render(*effect, out.frame(), in.frame());
    }
    void set(const Highlight& h) {
        qortest::setFloat(*effect, "Radius", h.radius);
        qortest::setFloat(*effect, "Softness", h.softness);
        qortest::setFloat(*effect, "Opacity", h.opacity);
        qortest::setFloat(*effect, "iMouseX", h.mouseX);
        qortest::setFloat(*effect, "iMouseY", h.mouseY);
        qortest::setInt(*effect, "ColorR", h.red);
        qortest::setInt(*effect, "ColorG", h.green);
        qortest::setInt(*effect, "ColorB", h.blue);
    }

    std::unique_ptr<NLECircleHighlight> effect = qortest::makeEffect<NLECircleHighlight>();
};

TEST_F(NLECircleHighlightTest, DiscMatchesTheDescriptionOnAPhotoWithPartialAlpha) {
    const cv::Mat photo = qortest::samplePicture("coffee.png", 170)(cv::Rect(0, 0, 301, 203)).clone();
    PaddedFrame in = PaddedFrame::from(photo, 8);
    const Highlight cases[] = {
        {0.4f, 0.1f, 0.7f, 150.0f, 100.0f, 255, 40, 10},  // inside the frame
        {0.6f, 0.5f, 0.9f, 290.5f, 3.25f, 0, 255, 255},   // over the top-right corner
        {0.3f, 0.0f, 1.0f, -20.0f, 190.0f, 10, 20, 30},   // centre left of the frame
        {0.5f, 1.0f, 0.4f, 120.0f, 80.0f, 0, 0, 0},       // soft edge
    };
    for (const Highlight& h : cases) {
        PaddedFrame out(301, 203, 12);
        ASSERT_EQ(render(h, out, in), 0);
        const cv::Mat expected = highlightReference(photo, h);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0) << "mouse " << h.mouseX << "," << h.mouseY;
        EXPECT_GT(qortest::differingBytes(expected, photo), 0);
        EXPECT_TRUE(out.paddingIntact());
        std::vector<cv::Mat> outPlanes, inPlanes;
        cv::split(out.mat(), outPlanes);
        cv::split(photo, inPlanes);
        EXPECT_EQ(qortest::differingBytes(outPlanes[3], inPlanes[3]), 0);  // alpha is never changed
    }
}

TEST_F(NLECircleHighlightTest, FadesFromFullOpacityInsideToNothingOutside) {
    PaddedFrame in(400, 60);
    in.mat().setTo(cv::Scalar(100, 100, 100, 255));
    PaddedFrame out(400, 60);
    Highlight h;
    h.radius = 0.8f;  // r = 0.2 of the width: 80 pixels
    h.softness = 0.5f;  // s = 0.1: full inside 71.2 pixels, nothing from 88.8 on
    h.opacity = 0.6f;
    h.mouseX = 100.0f;
    h.mouseY = 30.0f;
    h.red = 200;
    ASSERT_EQ(render(h, out, in), 0);
    const cv::Mat row = out.mat().row(30);
    const int full = overlayref::mix(100, 200, 0.6f);
    int previous = full;
    for (int d = 0; d < 100; ++d) {
        const int red = row.at<cv::Vec4b>(0, 100 + d)[2];
        if (d <= 70) {
            EXPECT_EQ(red, full) << d;
        }
        if (d >= 89) {
            EXPECT_EQ(red, 100) << d;
        }
        EXPECT_LE(red, previous) << d;
        previous = red;
    }
    EXPECT_EQ(row.at<cv::Vec4b>(0, 100 - 95)[2], 100);
}

TEST_F(NLECircleHighlightTest, SoftnessZeroFadesBetween99And101PercentOfTheRadius) {
    PaddedFrame in(1000, 8);
    in.mat().setTo(cv::Scalar(0, 0, 0, 255));
    PaddedFrame out(1000, 8);
    Highlight h;
    h.radius = 0.8f;  // r = 0.2 of the width: 200 pixels
    h.softness = 0.0f;
    h.opacity = 1.0f;
    h.mouseX = 0.0f;
    h.mouseY = 4.0f;
    h.red = 255;
    ASSERT_EQ(render(h, out, in), 0);
    const cv::Mat row = out.mat().row(4);
    EXPECT_EQ(row.at<cv::Vec4b>(0, 197)[2], 255);
    EXPECT_GT(row.at<cv::Vec4b>(0, 200)[2], 0);
    EXPECT_LT(row.at<cv::Vec4b>(0, 200)[2], 255);
    EXPECT_EQ(row.at<cv::Vec4b>(0, 203)[2], 0);
}

TEST_F(NLECircleHighlightTest, HardEdgedDiscAroundAFractionalPositionIsSymmetric) {
    // The disc reaches 80.8 pixels from a centre between pixels; its last pixel right of and below
    // the centre lies in the fade and must be tinted like the one left of and above it.
    PaddedFrame in(400, 300);
    in.mat().setTo(cv::Scalar(0, 0, 0, 255));
    PaddedFrame out(400, 300);
    const Highlight h{0.8f, 0.0f, 1.0f, 200.5f, 100.5f, 255, 255, 255};
    ASSERT_EQ(render(h, out, in), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), highlightReference(in.mat(), h)), 0);
    const cv::Mat result = out.mat();
    EXPECT_GT(result.at<cv::Vec4b>(100, 281)[2], 0);
    EXPECT_EQ(result.at<cv::Vec4b>(100, 281), result.at<cv::Vec4b>(100, 120));
    EXPECT_EQ(result.at<cv::Vec4b>(181, 200), result.at<cv::Vec4b>(20, 200));
}

TEST_F(NLECircleHighlightTest, DisabledOrDegenerateSettingsCopyTheFrame) {
    const cv::Mat picture = qortest::noisePicture(97, 61, 12);
    PaddedFrame in = PaddedFrame::from(picture, 4);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        Highlight h;
        float enable;
    };
    const Case cases[] = {
        {"disabled", {0.5f, 0.1f, 0.7f, 40.0f, 30.0f}, 0.0f},
        {"radius 0", {0.0f, 0.1f, 0.7f, 40.0f, 30.0f}, 1.0f},
        {"negative radius", {-0.5f, 0.1f, 0.7f, 40.0f, 30.0f}, 1.0f},
        {"negative opacity", {0.5f, 0.1f, -1.0f, 40.0f, 30.0f}, 1.0f},
        {"far right", {0.5f, 0.1f, 0.7f, 1e6f, 30.0f}, 1.0f},
        {"far above", {0.5f, 0.1f, 0.7f, 40.0f, -1e6f}, 1.0f},
        {"beyond int", {0.5f, 0.1f, 0.7f, 3e30f, -3e30f}, 1.0f},
        {"infinite", {0.5f, 0.1f, 0.7f, inf, -inf}, 1.0f},
        {"position not a number", {0.5f, 0.1f, 0.7f, nan, 30.0f}, 1.0f},
        {"radius not a number", {nan, 0.1f, 0.7f, 40.0f, 30.0f}, 1.0f},
        {"softness not a number", {0.5f, nan, 0.7f, 40.0f, 30.0f}, 1.0f},
        {"opacity not a number", {0.5f, 0.1f, nan, 40.0f, 30.0f}, 1.0f},
    };
    for (const Case& c : cases) {
        PaddedFrame out(97, 61, 16);
        qortest::setFloat(*effect, "Enable", c.enable);
        ASSERT_EQ(render(c.h, out, in), 0) << c.what;
        EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0) << c.what;
        EXPECT_TRUE(out.paddingIntact()) << c.what;
    }
}

TEST_F(NLECircleHighlightTest, ExtremeRadiusAndOpacityStayInsideTheFrame) {
    // Large enough for the box to be split among workers.
    const cv::Mat picture = qortest::noisePicture(301, 203, 13);
    PaddedFrame in = PaddedFrame::from(picture, 4);
    PaddedFrame out(301, 203, 16);
    Highlight huge{1e9f, 0.1f, 5.0f, 20.0f, 10.0f, 1, 2, 3};
    ASSERT_EQ(render(huge, out, in), 0);
    EXPECT_TRUE(out.paddingIntact());
    // Opacity clamps to 1 and every pixel lies deep inside the disc: all take the colour.
    std::vector<cv::Mat> planes;
    cv::split(out.mat(), planes);
    EXPECT_EQ(cv::countNonZero(planes[0] != 3), 0);
    EXPECT_EQ(cv::countNonZero(planes[2] != 1), 0);

    Highlight inverted{0.5f, -0.05f, 0.7f, 20.0f, 10.0f};  // inner and outer edges coincide
    ASSERT_EQ(render(inverted, out, in), 0);
    EXPECT_TRUE(out.paddingIntact());
}

TEST_F(NLECircleHighlightTest, RefusesBuffersThatDoNotFitAndLeavesTheOutputUntouched) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(30, 20, 4));
    const Highlight h{0.5f, 0.1f, 0.7f, 10.0f, 10.0f};
    const auto refused = [&](PaddedFrame& out, const tessel::Frame& outFrame, const tessel::Frame& inFrame) {
        overlayref::expectRefused(*effect, out, outFrame, inFrame);
    };
    set(h);
    PaddedFrame narrow(29, 20);
    refused(narrow, narrow.frame(), in.frame());
    PaddedFrame low(30, 19);
    refused(low, low.frame(), in.frame());
    PaddedFrame out(30, 20);
    refused(out, out.frame(), {nullptr, 30, 20, in.stride()});
    refused(out, {out.data(), 30, 20, 100}, in.frame());
}

}  // namespace
