#include "plugins/qorCommonFxPlugin/overlays/NLECircleHighlight.h"

#include <limits>

#include <gtest/gtest.h>

#include "effects/overlays/OverlayReference.h"
#include "support/EffectChecks.h"

namespace {

struct Highlight {
    float radius, softness, opacity, mouseX, mouseY;
    int red = 0, green = 255, blue = 255;
    float enable = 1.0f;
};

// Every pixel of the frame (not only the box around the mouse) per the disc's description.
cv::Mat highlightReference(const cv::Mat& picture, const Highlight& h) {
    const double r = h.radius * 0.25, s = h.softness * 0.2;
    const double outer = (s + 1 + 0.01) * r, inner = (1 - s - 0.01) * r;
    return overlayref::tinted(picture, {h.blue, h.green, h.red}, [&](int x, int y) {
        const float dx = static_cast<float>(x) - h.mouseX, dy = static_cast<float>(y) - h.mouseY;
        const float dist = overlayref::approximateSqrt(dx * dx + dy * dy) / static_cast<float>(picture.cols);
        if (!(dist < outer)) return 0.0;
        const double t = overlayref::unit((dist - inner) / (outer - inner));
        return overlayref::unit((1 - (3 - 2 * t) * t * t) * overlayref::unit(h.opacity));
    });
}

class NLECircleHighlightTest : public ::testing::Test {
protected:
    cv::Mat render(const Highlight& h, const cv::Mat& picture) {
        qortest::setFloats(*effect, {{"Radius", h.radius}, {"Softness", h.softness}, {"Opacity", h.opacity},
                                     {"iMouseX", h.mouseX}, {"iMouseY", h.mouseY}, {"Enable", h.enable}});
        qortest::setInts(*effect, {{"ColorR", h.red}, {"ColorG", h.green}, {"ColorB", h.blue}});
        return qortest::rendered(*effect, picture);
    }

    std::unique_ptr<NLECircleHighlight> effect = qortest::makeEffect<NLECircleHighlight>();
};

TEST_F(NLECircleHighlightTest, DiscFollowsTheReference) {
    const cv::Mat photo = qortest::samplePicture("coffee.png", 170)(cv::Rect(0, 0, 301, 203));
    const Highlight cases[] = {
        {0.4f, 0.1f, 0.7f, 150.0f, 100.0f, 255, 40, 10},  // inside the frame
        {0.6f, 0.5f, 0.9f, 290.5f, 3.25f, 0, 255, 255},   // over the top-right corner
        {0.3f, 0.0f, 1.0f, -20.0f, 190.0f, 10, 20, 30},   // centre left of the frame
        {0.5f, 1.0f, 0.4f, 120.0f, 80.0f, 0, 0, 0},       // soft edge
    };
    for (const Highlight& h : cases) {
        const cv::Mat expected = highlightReference(photo, h);
        EXPECT_EQ(qortest::differingBytes(render(h, photo), expected), 0) << h.mouseX << "," << h.mouseY;
        EXPECT_GT(qortest::differingBytes(expected, photo), 0);
    }
    // A hard edge around a centre between pixels.
    const cv::Mat black(300, 400, CV_8UC4, cv::Scalar(0, 0, 0, 255));
    const Highlight h{0.8f, 0.0f, 1.0f, 200.5f, 100.5f, 255, 255, 255};
    EXPECT_EQ(qortest::differingBytes(render(h, black), highlightReference(black, h)), 0);
}

TEST_F(NLECircleHighlightTest, DisabledOrDegenerateSettingsCopyTheFrame) {
    const cv::Mat picture = qortest::noisePicture(97, 61, 12);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    Highlight disabled{0.5f, 0.1f, 0.7f, 40.0f, 30.0f};
    disabled.enable = 0.0f;
    const Highlight cases[] = {
        disabled,
        {0.0f, 0.1f, 0.7f, 40.0f, 30.0f},  {-0.5f, 0.1f, 0.7f, 40.0f, 30.0f}, {0.5f, 0.1f, -1.0f, 40.0f, 30.0f},
        {0.5f, 0.1f, 0.7f, 1e6f, 30.0f},   {0.5f, 0.1f, 0.7f, 40.0f, -1e6f},  {0.5f, 0.1f, 0.7f, 3e30f, -3e30f},
        {0.5f, 0.1f, 0.7f, inf, -inf},     {0.5f, 0.1f, 0.7f, nan, 30.0f},    {nan, 0.1f, 0.7f, 40.0f, 30.0f},
        {0.5f, nan, 0.7f, 40.0f, 30.0f},   {0.5f, 0.1f, nan, 40.0f, 30.0f},
    };
    for (const Highlight& h : cases) {
        EXPECT_EQ(qortest::differingBytes(render(h, picture), picture), 0)
            << h.radius << " " << h.softness << " " << h.opacity << " " << h.mouseX << "," << h.mouseY;
    }
}

TEST_F(NLECircleHighlightTest, ExtremeRadiusAndOpacityStayInsideTheFrame) {
    // Large enough for the box to be split among workers. Opacity clamps to 1 and every pixel lies
    // deep inside the disc: all take the colour.
    const cv::Mat noise = qortest::noisePicture(301, 203, 13);
    const cv::Mat huge = render({1e9f, 0.1f, 5.0f, 20.0f, 10.0f, 1, 2, 3}, noise);
    std::vector<cv::Mat> planes;
    cv::split(huge, planes);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(cv::countNonZero(planes[c] != 3 - c), 0) << c;
    render({0.5f, -0.05f, 0.7f, 20.0f, 10.0f}, noise);  // inner and outer edges coincide
}

TEST_F(NLECircleHighlightTest, RefusesBuffersThatDoNotFit) { qortest::expectRefusals(*effect, 1); }

}  // namespace
