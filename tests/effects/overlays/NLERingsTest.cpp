#include "plugins/qorCommonFxPlugin/overlays/NLERings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "effects/overlays/OverlayReference.h"
#include "support/EffectChecks.h"

namespace {

struct Click {
    float process, radius, opacity, mouseX, mouseY;
    int red = 0, green = 255, blue = 255;
    float clicked = 1.0f, enable = 1.0f;
};

// Every pixel of the frame (not only the box around the mouse) per the ripples' description.
cv::Mat ringsReference(const cv::Mat& picture, const Click& c) {
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
    const int cx = static_cast<int>(c.mouseX), cy = static_cast<int>(c.mouseY);
    const float side = static_cast<float>(std::max(picture.cols, picture.rows));
    return overlayref::tinted(picture, {c.blue, c.green, c.red}, [&](int x, int y) {
        const float square = static_cast<float>((x - cx) * (x - cx) + (y - cy) * (y - cy));
        const double dist = overlayref::approximateSqrt(square) / side * scale;
        if (!(dist < outer)) return 0.0;
        const double t = overlayref::unit((dist - inner) / (outer - inner));
        const double wave = overlayref::unit((std::cos(dist / waveLength1) - 0.1) * amplitude1) +
                            overlayref::unit((std::cos(dist / waveLength2) - 0.1) * amplitude2);
        return (1 - (3 - 2 * t) * t * t) * overlayref::unit(wave * (c.opacity + 0.2));
    });
}

class NLERingsTest : public ::testing::Test {
protected:
    cv::Mat render(const Click& c, const cv::Mat& picture) {
        qortest::setFloats(*effect, {{"Process", c.process}, {"Radius", c.radius}, {"Opacity", c.opacity},
                                     {"iMouseX", c.mouseX}, {"iMouseY", c.mouseY}, {"Clicked", c.clicked},
                                     {"Enable", c.enable}});
        qortest::setInts(*effect, {{"ColorR", c.red}, {"ColorG", c.green}, {"ColorB", c.blue}});
        return qortest::rendered(*effect, picture);
    }

    std::unique_ptr<NLERings> effect = qortest::makeEffect<NLERings>();
};

// On a photo with partial alpha through the animation, and on a portrait frame, whose distances
// are measured in units of its larger side: its pattern must not be cut square.
TEST_F(NLERingsTest, RipplesFollowTheReferenceThroughTheAnimation) {
    const cv::Mat photo = qortest::samplePicture("rocket.jpg", 150)(cv::Rect(0, 0, 320, 240)).clone();
    for (const float process : {0.1f, 0.37f, 0.5f, 0.63f, 0.9f}) {
        SCOPED_TRACE(process);
        const Click c{process, 3.0f, 0.7f, 150.7f, 110.2f, 255, 128, 0};
        const cv::Mat expected = ringsReference(photo, c);
        EXPECT_EQ(qortest::differingBytes(render(c, photo), expected), 0);
        EXPECT_GT(qortest::differingBytes(expected, photo), 100);
    }
    const cv::Mat portrait(320, 90, CV_8UC4, cv::Scalar(20, 20, 20, 255));
    const Click c{0.5f, 4.0f, 0.8f, 45.0f, 160.0f, 255, 255, 255};
    EXPECT_EQ(qortest::differingBytes(render(c, portrait), ringsReference(portrait, c)), 0);
}

// At the start and end of the animation, without a click, or with the mouse off the frame nothing
// is drawn; extreme settings may draw, but only inside the frame.
TEST_F(NLERingsTest, NoRipplesAtTheEndsOrWithoutAClickAndExtremesStayInside) {
    const cv::Mat picture = qortest::noisePicture(120, 90, 14);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    Click notClicked{0.37f, 2.0f, 0.7f, 60.0f, 45.0f}, disabled = notClicked;
    notClicked.clicked = 0.0f;
    disabled.enable = 0.0f;
    for (const Click& c : {Click{0.0f, 2.0f, 0.7f, 60.0f, 45.0f}, Click{1.0f, 2.0f, 0.7f, 60.0f, 45.0f},
                           Click{1.5f, 2.0f, 0.7f, 60.0f, 45.0f}, notClicked, disabled,
                           Click{0.37f, 1.0f, 0.7f, 1e6f, 20.0f}, Click{0.37f, 1.0f, -3.0f, 20.0f, 20.0f},
                           Click{0.37f, 1.0f, 0.7f, inf, nan}}) {
        EXPECT_EQ(qortest::differingBytes(render(c, picture), picture), 0) << c.process << " " << c.mouseX;
    }
    for (const Click& c : {Click{0.37f, 1.0f, 0.7f, 20.0f, -1e6f}, Click{0.37f, 1.0f, 0.7f, 3e30f, -3e30f},
                           Click{0.37f, 0.0f, 0.7f, 20.0f, 20.0f}, Click{0.37f, -5.0f, 0.7f, 20.0f, 20.0f},
                           Click{0.37f, -0.012f, 0.7f, 20.0f, 20.0f}, Click{0.37f, 1e9f, 0.7f, 20.0f, 20.0f},
                           Click{0.37f, 1.0f, 9.0f, 20.0f, 20.0f}, Click{nan, 1.0f, 0.7f, 20.0f, 20.0f},
                           Click{0.37f, nan, 0.7f, 20.0f, 20.0f}, Click{0.37f, 1.0f, nan, 20.0f, 20.0f}}) {
        render(c, picture);
    }
}

TEST_F(NLERingsTest, RefusesBuffersThatDoNotFit) { qortest::expectRefusals(*effect, 1); }

}  // namespace
