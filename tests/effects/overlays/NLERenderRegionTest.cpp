#include "plugins/qorCommonFxPlugin/overlays/NLERenderRegion.h"

#include <algorithm>
#include <climits>

#include <gtest/gtest.h>

#include "effects/overlays/OverlayReference.h"
#include "support/EffectChecks.h"

namespace {

using overlayref::Box;

Box box(int64_t left, int64_t top, int64_t width, int64_t height) { return {left, top, left + width, top + height}; }

// A one-pixel outline painted pixel by pixel, clipped to the picture.
void outline(cv::Mat& picture, const Box& b, const cv::Vec4b& colour) {
    if (b.right <= b.left || b.bottom <= b.top) return;
    const auto put = [&](int64_t x, int64_t y) {
        if (x >= 0 && y >= 0 && x < picture.cols && y < picture.rows) {
            picture.at<cv::Vec4b>(static_cast<int>(y), static_cast<int>(x)) = colour;
        }
    };
    for (int64_t x = std::max<int64_t>(b.left, -1); x <= std::min<int64_t>(b.right - 1, picture.cols); ++x) {
        put(x, b.top);
        put(x, b.bottom - 1);
    }
    for (int64_t y = std::max<int64_t>(b.top, -1); y <= std::min<int64_t>(b.bottom - 1, picture.rows); ++y) {
        put(b.left, y);
        put(b.right - 1, y);
    }
}

// The guide: shadow one pixel right and below, main colour on top.
void guide(cv::Mat& picture, const Box& b, const cv::Vec4b& main, const cv::Vec4b& shadow) {
    outline(picture, {b.left + 1, b.top + 1, b.right + 1, b.bottom + 1}, shadow);
    outline(picture, b, main);
}

class NLERenderRegionTest : public ::testing::Test {
protected:
    void setView(int left, int top, int width, int height) {
        qortest::setInts(*effect, {{"fLeft", left}, {"fTop", top}, {"editViewsWidth", width},
                                   {"editViewsHeight", height}});
    }
    void setShade(const cv::Vec3i& bgr, int alpha) {
        qortest::setInts(*effect, {{"outSideAreaB", bgr[0]}, {"outSideAreaG", bgr[1]}, {"outSideAreaR", bgr[2]},
                                   {"outSideAreaA", alpha}});
    }
    cv::Mat render(const cv::Mat& picture) { return qortest::rendered(*effect, picture); }

    std::unique_ptr<NLERenderRegion> effect = qortest::makeEffect<NLERenderRegion>();
};

TEST_F(NLERenderRegionTest, ShadesOutsideTheEditViewAtOpacityZeroAndFull) {
    const cv::Mat photo = qortest::samplePicture("chelsea.png", 180)(cv::Rect(20, 10, 131, 97)).clone();
    const cv::Vec3i shade(10, 120, 230);
    setView(30, 20, 50, 40);
    for (const int alpha : {0, 255, 77}) {
        setShade(shade, alpha);
        const cv::Mat result = render(photo);
        const cv::Mat expected = overlayref::shadedOutside(photo, box(30, 20, 50, 40), shade, alpha);
        EXPECT_EQ(qortest::differingBytes(result, expected), 0) << "opacity " << alpha;
    }
}

TEST_F(NLERenderRegionTest, GuidesPartlyOutsideTheFrameAreClipped) {
    const cv::Mat photo = qortest::samplePicture("astronaut.png", 230)(cv::Rect(100, 50, 90, 70)).clone();
    setView(10, 10, 60, 40);
    setShade({200, 100, 0}, 128);
    // The outer guide's top and left edges lie above and left of the frame, its bottom below it;
    // the inner guide's right and bottom edges lie beyond the frame.
    qortest::setInts(*effect, {{"outLineLeft", -5}, {"outLineTop", -3}, {"outLineWidth", 80}, {"outLineHeight", 100},
                               {"inLineLeft", 60}, {"inLineTop", 40}, {"inLineWidth", 40}, {"inLineHeight", 40},
                               {"lineR0", 255}, {"lineG0", 250}, {"lineB0", 245}, {"lineR1", 5}, {"lineG1", 6},
                               {"lineB1", 7}, {"outLineSafeZoom", 1}, {"inLineSafeZoom", 1}});
    const cv::Mat unlined = overlayref::shadedOutside(photo, box(10, 10, 60, 40), {200, 100, 0}, 128);
    cv::Mat expected = unlined.clone();
    guide(expected, box(-5, -3, 80, 100), {245, 250, 255, 255}, {7, 6, 5, 255});
    guide(expected, box(60, 40, 40, 40), {245, 250, 255, 255}, {7, 6, 5, 255});
    EXPECT_EQ(qortest::differingBytes(render(photo), expected), 0);

    qortest::setInts(*effect, {{"outLineSafeZoom", 0}, {"inLineSafeZoom", 0}});
    EXPECT_EQ(qortest::differingBytes(render(photo), unlined), 0) << "with the flags off no line is drawn";
}

// Nothing set: an empty edit view, shading opacity 0, no guides. An opaque picture comes out
// unchanged; one with partial alpha comes out premultiplied and opaque.
TEST_F(NLERenderRegionTest, MissingParametersCountAsZeroAndFlagsAsOff) {
    const cv::Mat translucent = qortest::noisePicture(37, 23, 5);
    cv::Mat opaque = translucent.clone();
    opaque.forEach<cv::Vec4b>([](cv::Vec4b& p, const int*) { p[3] = 255; });
    EXPECT_EQ(qortest::differingBytes(render(opaque), opaque), 0);
    EXPECT_EQ(qortest::differingBytes(render(translucent), overlayref::shadedOutside(translucent, {}, {}, 0)), 0);
}

// The view starts beyond the right edge (all shaded, opacity and colour clamped); the outer
// guide's only visible side is its left one at column 3, whose right and bottom edges lie past the
// int range; the inner guide is entirely off the frame.
TEST_F(NLERenderRegionTest, ExtremeGeometryStaysInsideTheFrame) {
    qortest::setInts(*effect, {{"fLeft", INT_MAX}, {"fTop", INT_MIN}, {"editViewsWidth", INT_MAX},
                               {"editViewsHeight", INT_MAX}, {"outSideAreaA", 999}, {"outSideAreaR", -40},
                               {"outSideAreaG", 300}, {"outLineLeft", 3}, {"outLineTop", -1000000},
                               {"outLineWidth", INT_MAX}, {"outLineHeight", INT_MAX}, {"inLineLeft", INT_MAX - 1},
                               {"inLineTop", -1}, {"inLineWidth", INT_MAX}, {"inLineHeight", 3}, {"lineB0", 90},
                               {"lineB1", 180}, {"outLineSafeZoom", 1}, {"inLineSafeZoom", 1}});
    cv::Mat expected(19, 29, CV_8UC4, cv::Scalar(0, 255, 0, 255));
    guide(expected, box(3, -1000000, INT_MAX, INT_MAX), {90, 0, 0, 255}, {180, 0, 0, 255});
    EXPECT_EQ(qortest::differingBytes(render(qortest::noisePicture(29, 19, 6)), expected), 0);
}

TEST_F(NLERenderRegionTest, RefusesBuffersThatDoNotFitAndKeepsALargerOutputBeyondTheInput) {
    qortest::expectRefusals(*effect, 1);
    setShade({0, 0, 0}, 255);
    EXPECT_TRUE(qortest::untouchedOutside(qortest::rendered(*effect, qortest::noisePicture(20, 10, 8), {26, 14}),
                                          cv::Rect(0, 0, 20, 10)));
}

}  // namespace
