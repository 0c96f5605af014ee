#include "plugins/qorCommonFxPlugin/NLERings.h"

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

struct Click {
    float process = 0.37f;
    float radius = 1.0f;
    float opacity = 0.7f;
    float mouseX = 500.0f;
    float mouseY = 500.0f;
    int red = 0, green = 255, blue = 255;
};

// Every pixel of the frame (not only the box around the mouse) per the ripples' description.
cv::Mat ringsReference(const cv::Mat& picture, const Click& c) {
    cv::Mat expected = picture.clone();
    const double q = c.radius / 1.2;
    const double waveLength1 = c.process * 0.1 + 0.1;
    const double waveLength2 = c.process * 0.3 + 0.1;
    const float twoPi = 6.2831855f;
    const float outer = static_cast<float>(waveLength2 * twoPi * 1.2);
    const float inner = static_cast<float>(waveLength2 * twoPi * 0.8);
    const double scale = 100 / (q + 0.01);
    const double rise = ((1 - c.process) * 1.34 + 1) * ((1 - c.process) * 1.34);
    const double fall = (c.process * 1.34 + 1) * (c.process * 1.34);
    const bool moving = c.process > 0 && c.process < 1;
    const double amplitude1 = moving ? std::sin(rise) : 0.0;
    const double amplitude2 = moving ? std::sin(fall) : 0.0;
    const int cx = static_cast<int>(c.mouseX);
    const int cy = static_cast<int>(c.mouseY);
    const float side = static_cast<float>(std::max(picture.cols, picture.rows));
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            const float square = static_cast<float>((x - cx) * (x - cx) + (y - cy) * (y - cy));
            const double dist = overlayref::approximateSqrt(square) / side * scale;
            if (!(dist < outer)) continue;
            const double t = overlayref::unit((dist - inner) / (outer - inner));
            const double fade = 1 - (3 - 2 * t) * t * t;
            const double wave = overlayref::unit((std::cos(dist / waveLength1) - 0.1) * amplitude1) +
                                overlayref::unit((std::cos(dist / waveLength2) - 0.1) * amplitude2);
            const double a = fade * overlayref::unit(wave * (c.opacity + 0.2));
            cv::Vec4b& pixel = expected.at<cv::Vec4b>(y, x);
            pixel[0] = overlayref::mix(pixel[0], c.blue, a);
            pixel[1] = overlayref::mix(pixel[1], c.green, a);
            pixel[2] = overlayref::mix(pixel[2], c.red, a);
        }
    }
    return expected;
}

class NLERingsTest : public ::testing::Test {
protected:
    void set(const Click& c) {
        qortest::setFloat(*effect, "Process", c.process);
        qortest::setFloat(*effect, "Radius", c.radius);
        qortest::setFloat(*effect, "Opacity", c.opacity);
        qortest::setFloat(*effect, "iMouseX", c.mouseX);
        qortest::setFloat(*effect, "iMouseY", c.mouseY);
        qortest::setInt(*effect, "ColorR", c.red);
        qortest::setInt(*effect, "ColorG", c.green);
        qortest::setInt(*effect, "ColorB", c.blue);
    }
    int32_t render(const Click& c, PaddedFrame& out, PaddedFrame& in) {
        set(c);
        return qortest::render(*effect, out.frame(), in.frame());
    }

    std::unique_ptr<NLERings> effect = qortest::makeEffect<NLERings>();
};

TEST_F(NLERingsTest, RipplesMatchTheDescriptionThroughTheAnimation) {
    const cv::Mat photo = qortest::samplePicture("rocket.jpg", 150)(cv::Rect(0, 0, 320, 240)).clone();
    PaddedFrame in = PaddedFrame::from(photo, 8);
    for (const float process : {0.1f, 0.37f, 0.5f, 0.63f, 0.9f}) {
        PaddedFrame out(320, 240, 12);
        const Click c{process, 3.0f, 0.7f, 150.7f, 110.2f, 255, 128, 0};
        ASSERT_EQ(render(c, out, in), 0);
        const cv::Mat expected = ringsReference(photo, c);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0) << "process " << process;
        EXPECT_GT(qortest::differingBytes(expected, photo), 100) << "process " << process;
        EXPECT_TRUE(out.paddingIntact());
        std::vector<cv::Mat> outPlanes, inPlanes;
        cv::split(out.mat(), outPlanes);
        cv::split(photo, inPlanes);
        EXPECT_EQ(qortest::differingBytes(outPlanes[3], inPlanes[3]), 0);  // alpha is never changed
    }
}

TEST_F(NLERingsTest, NoRipplesAtTheStartAndEndOfTheAnimationOrWithoutAClick) {
    const cv::Mat picture = qortest::noisePicture(120, 90, 14);
    PaddedFrame in = PaddedFrame::from(picture, 4);
    const Click base{0.37f, 2.0f, 0.7f, 60.0f, 45.0f};
    struct Case {
        const char* what;
        float process, clicked, enable;
    };
    for (const Case& c : {Case{"process 0", 0.0f, 1.0f, 1.0f}, Case{"process 1", 1.0f, 1.0f, 1.0f},
                          Case{"process beyond 1", 1.5f, 1.0f, 1.0f}, Case{"not clicked", 0.37f, 0.0f, 1.0f},
                          Case{"disabled", 0.37f, 1.0f, 0.0f}}) {
        PaddedFrame out(120, 90, 16);
        Click click = base;
        click.process = c.process;
        qortest::setFloat(*effect, "Clicked", c.clicked);
        qortest::setFloat(*effect, "Enable", c.enable);
        ASSERT_EQ(render(click, out, in), 0) << c.what;
        EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0) << c.what;
        EXPECT_TRUE(out.paddingIntact()) << c.what;
    }
}

TEST_F(NLERingsTest, PortraitFramesGetTheWholePattern) {
    // Distances are measured in units of the larger side; on a portrait frame the pattern is
    // larger than the frame width alone would say, and must not be cut square.
    PaddedFrame in(90, 320);
    in.mat().setTo(cv::Scalar(20, 20, 20, 255));
    PaddedFrame out(90, 320);
    const Click c{0.5f, 4.0f, 0.8f, 45.0f, 160.0f, 255, 255, 255};
    ASSERT_EQ(render(c, out, in), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), ringsReference(in.mat(), c)), 0);
}

TEST_F(NLERingsTest, FarAwayMouseOrExtremeSettingsStayInsideTheFrame) {
    const cv::Mat picture = qortest::noisePicture(64, 48, 15);
    PaddedFrame in = PaddedFrame::from(picture, 4);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Click& c : {Click{0.37f, 1.0f, 0.7f, 1e6f, 20.0f}, Click{0.37f, 1.0f, 0.7f, 20.0f, -1e6f},
                           Click{0.37f, 1.0f, 0.7f, 3e30f, -3e30f}, Click{0.37f, 1.0f, 0.7f, inf, nan},
                           Click{0.37f, 0.0f, 0.7f, 20.0f, 20.0f}, Click{0.37f, -5.0f, 0.7f, 20.0f, 20.0f},
                           Click{0.37f, -0.012f, 0.7f, 20.0f, 20.0f}, Click{0.37f, 1e9f, 0.7f, 20.0f, 20.0f},
                           Click{0.37f, 1.0f, -3.0f, 20.0f, 20.0f}, Click{0.37f, 1.0f, 9.0f, 20.0f, 20.0f},
                           Click{nan, 1.0f, 0.7f, 20.0f, 20.0f}, Click{0.37f, nan, 0.7f, 20.0f, 20.0f},
                           Click{0.37f, 1.0f, nan, 20.0f, 20.0f}}) {
        PaddedFrame out(64, 48, 16);
        ASSERT_EQ(render(c, out, in), 0);
        EXPECT_TRUE(out.paddingIntact());
    }
    // Off the frame nothing is drawn; a negative opacity draws nothing either.
    PaddedFrame out(64, 48, 16);
    ASSERT_EQ(render({0.37f, 1.0f, 0.7f, 1e6f, 20.0f}, out, in), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0);
    ASSERT_EQ(render({0.37f, 1.0f, -3.0f, 20.0f, 20.0f}, out, in), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), picture), 0);
}

TEST_F(NLERingsTest, RefusesBuffersThatDoNotFitAndLeavesTheOutputUntouched) {
    PaddedFrame in = PaddedFrame::from(qortest::noisePicture(30, 20, 4));
    set({0.37f, 1.0f, 0.7f, 10.0f, 10.0f});
    const auto refused = [&](PaddedFrame& out, const tessel::Frame& outFrame, const tessel::Frame& inFrame) {
        overlayref::expectRefused(*effect, out, outFrame, inFrame);
    };
    PaddedFrame narrow(29, 20);
    refused(narrow, narrow.frame(), in.frame());
    PaddedFrame low(30, 19);
    refused(low, low.frame(), in.frame());
    PaddedFrame out(30, 20);
    refused(out, {nullptr, 30, 20, out.stride()}, in.frame());
    refused(out, out.frame(), {in.data(), 30, 20, 119});
}

}  // namespace
