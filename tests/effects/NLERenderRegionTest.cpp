#include "plugins/qorCommonFxPlugin/NLERenderRegion.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "effects/OverlayReference.h"
#include "support/EffectCalls.h"
#include "support/TestSupport.h"

namespace {

using qortest::PaddedFrame;

struct View {
    int left, top, width, height;
};

// Outside `view`: the colour premultiplied by its alpha, blended towards the shade, made opaque.
void shadeOutside(cv::Mat& picture, const View& view, const cv::Vec3b& shadeBgr, int alpha) {
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            if (x >= view.left && x < view.left + view.width && y >= view.top && y < view.top + view.height) continue;
            cv::Vec4b& pixel = picture.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c) {
                pixel[c] = static_cast<uint8_t>(overlayref::mul(overlayref::mul(pixel[c], pixel[3]), 255 - alpha) +
                                                overlayref::mul(shadeBgr[c], alpha));
            }
            pixel[3] = 255;
        }
    }
}

// A one-pixel outline painted pixel by pixel, clipped to the picture (64-bit edges, so that
// extreme boxes are painted as the geometry says).
void outline(cv::Mat& picture, const View& box, const cv::Vec4b& colour) {
    if (box.width <= 0 || box.height <= 0) return;
    const int64_t left = box.left, top = box.top;
    const int64_t right = left + box.width - 1, bottom = top + box.height - 1;
    const auto put = [&](int64_t x, int64_t y) {
        if (x >= 0 && y >= 0 && x < picture.cols && y < picture.rows) {
            picture.at<cv::Vec4b>(static_cast<int>(y), static_cast<int>(x)) = colour;
        }
    };
    for (int64_t x = std::max<int64_t>(left, -1); x <= std::min<int64_t>(right, picture.cols); ++x) {
        put(x, top);
        put(x, bottom);
    }
    for (int64_t y = std::max<int64_t>(top, -1); y <= std::min<int64_t>(bottom, picture.rows); ++y) {
        put(left, y);
        put(right, y);
    }
}

// The guide: shadow one pixel right and below, main colour on top.
void guide(cv::Mat& picture, const View& box, const cv::Vec4b& main, const cv::Vec4b& shadow) {
    outline(picture, {box.left + 1, box.top + 1, box.width, box.height}, shadow);
    outline(picture, box, main);
}

class NLERenderRegionTest : public ::testing::Test {
protected:
    void setAll(const std::vector<std::pair<std::string, int32_t>>& values) {
        for (const auto& [name, value] : values) qortest::setInt(*effect, name, value);
    }
    void setView(const View& view) {
        setAll({{"fLeft", view.left}, {"fTop", view.top}, {"editViewsWidth", view.width},
                {"editViewsHeight", view.height}});
    }
    void setShade(const cv::Vec3b& bgr, int alpha) {
        setAll({{"outSideAreaB", bgr[0]}, {"outSideAreaG", bgr[1]}, {"outSideAreaR", bgr[2]}, {"outSideAreaA", alpha}});
    }

    std::unique_ptr<NLERenderRegion> effect = qortest::makeEffect<NLERenderRegion>();
};

TEST_F(NLERenderRegionTest, ShadesOutsideTheEditViewAtOpacityZeroAndFull) {
    const cv::Mat photo = qortest::samplePicture("chelsea.png", 180)(cv::Rect(20, 10, 131, 97)).clone();
    const View view{30, 20, 50, 40};
    const cv::Vec3b shade(10, 120, 230);
    for (const int alpha : {0, 255, 77}) {
        PaddedFrame in = PaddedFrame::from(photo, 8);
        PaddedFrame out(photo.cols, photo.rows, 24);
        setView(view);
        setShade(shade, alpha);
        ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);

        cv::Mat expected = photo.clone();
        shadeOutside(expected, view, shade, alpha);
        EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0) << "opacity " << alpha;
        EXPECT_TRUE(out.paddingIntact());
        EXPECT_EQ(qortest::differingBytes(in.mat(), photo), 0);
    }
}

TEST_F(NLERenderRegionTest, OpacityEndsGiveTheShadeOrThePremultipliedPicture) {
    const cv::Mat photo = qortest::samplePicture("rocket.jpg", 100)(cv::Rect(0, 0, 64, 48)).clone();
    PaddedFrame in = PaddedFrame::from(photo);
    PaddedFrame out(64, 48);
    setView({0, 0, 0, 0});  // an empty view: every pixel is outside
    setShade({1, 2, 3}, 255);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    EXPECT_EQ(cv::countNonZero(out.mat().reshape(1) != cv::Mat(48, 64, CV_8UC4, cv::Scalar(1, 2, 3, 255)).reshape(1)),
              0);

    setShade({1, 2, 3}, 0);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    const cv::Vec4b source = photo.at<cv::Vec4b>(30, 40);
    const cv::Vec4b shaded = out.mat().at<cv::Vec4b>(30, 40);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(shaded[c], overlayref::mul(source[c], 100));
    EXPECT_EQ(shaded[3], 255);
}

TEST_F(NLERenderRegionTest, GuidesPartlyOutsideTheFrameAreClipped) {
    const cv::Mat photo = qortest::samplePicture("astronaut.png", 230)(cv::Rect(100, 50, 90, 70)).clone();
    PaddedFrame in = PaddedFrame::from(photo, 4);
    PaddedFrame out(90, 70, 12);
    const View view{10, 10, 60, 40};
    const View outer{-5, -3, 80, 100};  // top and left edges above/left of the frame, bottom below it
    const View inner{60, 40, 40, 40};   // right and bottom edges beyond the frame
    setView(view);
    setShade({200, 100, 0}, 128);
    setAll({{"outLineLeft", outer.left}, {"outLineTop", outer.top}, {"outLineWidth", outer.width},
            {"outLineHeight", outer.height}, {"inLineLeft", inner.left}, {"inLineTop", inner.top},
            {"inLineWidth", inner.width}, {"inLineHeight", inner.height}, {"lineR0", 255}, {"lineG0", 250},
            {"lineB0", 245}, {"lineR1", 5}, {"lineG1", 6}, {"lineB1", 7}, {"outLineSafeZoom", 1}, {"inLineSafeZoom", 1}});
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);

    cv::Mat expected = photo.clone();
    shadeOutside(expected, view, {200, 100, 0}, 128);
    const cv::Vec4b main(245, 250, 255, 255);
    const cv::Vec4b shadow(7, 6, 5, 255);
    guide(expected, outer, main, shadow);
    guide(expected, inner, main, shadow);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_TRUE(out.paddingIntact());

    // With the flags off no line is drawn.
    setAll({{"outLineSafeZoom", 0}, {"inLineSafeZoom", 0}});
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    cv::Mat unlined = photo.clone();
    shadeOutside(unlined, view, {200, 100, 0}, 128);
    EXPECT_EQ(qortest::differingBytes(out.mat(), unlined), 0);
}

TEST_F(NLERenderRegionTest, MissingParametersCountAsZeroAndFlagsAsOff) {
    // Nothing set: an empty edit view, shading opacity 0, no guides. An opaque picture comes out
    // unchanged; one with partial alpha comes out premultiplied and opaque.
    const cv::Mat translucent = qortest::noisePicture(37, 23, 5);
    std::vector<cv::Mat> planes;
    cv::split(translucent, planes);
    planes[3].setTo(255);
    cv::Mat opaque;
    cv::merge(planes, opaque);

    PaddedFrame out(37, 23);
    PaddedFrame opaqueIn = PaddedFrame::from(opaque);
    ASSERT_EQ(qortest::render(*effect, out.frame(), opaqueIn.frame()), 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), opaque), 0);

    PaddedFrame translucentIn = PaddedFrame::from(translucent);
    ASSERT_EQ(qortest::render(*effect, out.frame(), translucentIn.frame()), 0);
    cv::Mat expected = translucent.clone();
    shadeOutside(expected, {0, 0, 0, 0}, {0, 0, 0}, 0);
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
}

TEST_F(NLERenderRegionTest, ExtremeGeometryStaysInsideTheFrame) {
    const cv::Mat picture = qortest::noisePicture(29, 19, 6);
    PaddedFrame in = PaddedFrame::from(picture);
    PaddedFrame out(29, 19, 16);
    // The view starts beyond the right edge (all shaded, opacity and colour clamped); the outer
    // guide's only visible side is its left one at column 3, whose right and bottom edges lie
    // past the int range; the inner guide is entirely off the frame.
    const View outer{3, -1000000, INT_MAX, INT_MAX};
    setAll({{"fLeft", INT_MAX}, {"fTop", INT_MIN}, {"editViewsWidth", INT_MAX}, {"editViewsHeight", INT_MAX},
            {"outSideAreaA", 999}, {"outSideAreaR", -40}, {"outSideAreaG", 300}, {"outLineLeft", outer.left},
            {"outLineTop", outer.top}, {"outLineWidth", outer.width}, {"outLineHeight", outer.height},
            {"inLineLeft", INT_MAX - 1}, {"inLineTop", -1}, {"inLineWidth", INT_MAX}, {"inLineHeight", 3},
            {"lineB0", 90}, {"lineB1", 180}, {"outLineSafeZoom", 1}, {"inLineSafeZoom", 1}});
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);

    cv::Mat expected(19, 29, CV_8UC4, cv::Scalar(0, 255, 0, 255));
    guide(expected, outer, {90, 0, 0, 255}, {180, 0, 0, 255});
    EXPECT_EQ(qortest::differingBytes(out.mat(), expected), 0);
    EXPECT_EQ(out.mat().at<cv::Vec4b>(7, 3), cv::Vec4b(90, 0, 0, 255));
    EXPECT_EQ(out.mat().at<cv::Vec4b>(7, 4), cv::Vec4b(180, 0, 0, 255));
    EXPECT_TRUE(out.paddingIntact());
}

TEST_F(NLERenderRegionTest, RefusesBuffersThatDoNotFitAndLeavesTheOutputUntouched) {
    const cv::Mat picture = qortest::noisePicture(40, 30, 7);
    PaddedFrame in = PaddedFrame::from(picture);
    setView({5, 5, 10, 10});
    setShade({9, 9, 9}, 200);

    const auto refused = [&](PaddedFrame& out, const tessel::Frame& outFrame, const tessel::Frame& inFrame) {
        overlayref::expectRefused(*effect, out, outFrame, inFrame);
    };
    PaddedFrame narrow(39, 30);
    refused(narrow, narrow.frame(), in.frame());
    PaddedFrame low(40, 29);
    refused(low, low.frame(), in.frame());
    PaddedFrame out(40, 30);
    refused(out, out.frame(), {nullptr, 40, 30, in.stride()});
    refused(out, {out.data(), 40, 30, 40 * 4 - 1}, in.frame());
    refused(out, out.frame(), {in.data(), 40, 30, 40 * 4 - 4});
    refused(out, out.frame(), {in.data(), -40, 30, in.stride()});
}

TEST_F(NLERenderRegionTest, LargerOutputKeepsItsPixelsBeyondTheInput) {
    const cv::Mat picture = qortest::noisePicture(20, 10, 8);
    PaddedFrame in = PaddedFrame::from(picture);
    PaddedFrame out(26, 14);
    out.mat().setTo(cv::Scalar::all(42));
    setShade({0, 0, 0}, 255);
    ASSERT_EQ(qortest::render(*effect, out.frame(), in.frame()), 0);
    const cv::Mat beyondRight = out.mat()(cv::Rect(20, 0, 6, 14));
    const cv::Mat beyondBottom = out.mat()(cv::Rect(0, 10, 26, 4));
    EXPECT_EQ(cv::countNonZero(beyondRight.clone().reshape(1) != 42), 0);
    EXPECT_EQ(cv::countNonZero(beyondBottom.clone().reshape(1) != 42), 0);
    EXPECT_TRUE(out.paddingIntact());
}

}  // namespace
