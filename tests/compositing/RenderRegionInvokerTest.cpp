#include "compositing/RenderRegionInvoker.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

using qortest::PaddedFrame;

int mulReference(int a, int b) { return static_cast<int>(std::nearbyint(a * b / 255.0)); }

struct Shade {
    int blue, green, red, alpha;
};

// Outside the rectangle: colour premultiplied by its own alpha, blended towards the shade, opaque.
cv::Mat shadedReference(const cv::Mat& picture, int left, int top, int right, int bottom, const Shade& shade) {
    cv::Mat expected = picture.clone();
    const int fill[3] = {shade.blue, shade.green, shade.red};
    for (int y = 0; y < expected.rows; ++y) {
        for (int x = 0; x < expected.cols; ++x) {
            if (x >= left && x <= right && y >= top && y <= bottom) continue;
            cv::Vec4b& pixel = expected.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c) {
                pixel[c] = static_cast<uint8_t>(mulReference(mulReference(pixel[c], pixel[3]), 255 - shade.alpha) +
                                                mulReference(fill[c], shade.alpha));
            }
            pixel[3] = 255;
        }
    }
    return expected;
}

void shade(PaddedFrame& frame, int left, int top, int right, int bottom, const Shade& shade) {
    cv::Mat output = frame.mat();
    const auto inverse = static_cast<uint8_t>(255 - std::clamp(shade.alpha, 0, 255));
    const imageC::parallelRenderRegionInInvoker invoker(&output, inverse, right, bottom, top, left, shade.blue,
                                                        shade.green, shade.red, shade.alpha);
    cv::parallel_for_(cv::Range(0, output.rows), invoker, 4);
}

struct RectangleCase {
    int left, top, right, bottom;
};

TEST(RenderRegionInvoker, ShadesExactlyTheOutsideAtEveryOpacity) {
    const cv::Mat picture = qortest::noisePicture(67, 41, 3);
    const RectangleCase rectangles[] = {
        {10, 5, 40, 30},     // inside the frame
        {-20, -3, 15, 12},   // over the top-left corner
        {50, 30, 200, 100},  // over the bottom-right corner
        {0, 0, 66, 40},      // the whole frame: nothing shaded
        {30, 10, 29, 20},    // empty (right left of left): everything shaded
        {100, 10, 120, 20},  // beside the frame
    };
    for (const int alpha : {0, 1, 128, 254, 255}) {
        const Shade fill{40, 200, 90, alpha};
        for (const auto& r : rectangles) {
            PaddedFrame frame = PaddedFrame::from(picture, 20);
            shade(frame, r.left, r.top, r.right, r.bottom, fill);
            EXPECT_EQ(qortest::differingBytes(frame.mat(),
                                              shadedReference(picture, r.left, r.top, r.right, r.bottom, fill)),
                      0)
                << "alpha " << alpha << " rectangle " << r.left << "," << r.top << " to " << r.right << ","
                << r.bottom;
            EXPECT_TRUE(frame.paddingIntact());
        }
    }
}

TEST(RenderRegionInvoker, OpaqueShadeGivesTheFillColourAndZeroOpacityThePremultipliedPicture) {
    const cv::Mat picture = qortest::samplePicture("coffee.png", 140)(cv::Rect(0, 0, 96, 64)).clone();
    PaddedFrame full = PaddedFrame::from(picture);
    shade(full, 0, 0, -1, -1, {12, 34, 56, 255});
    EXPECT_EQ(cv::countNonZero(full.mat().reshape(1) != cv::Mat(full.mat().size(), CV_8UC4,
                                                                cv::Scalar(12, 34, 56, 255)).reshape(1)),
              0);

    PaddedFrame clear = PaddedFrame::from(picture);
    shade(clear, 0, 0, -1, -1, {12, 34, 56, 0});
    const cv::Vec4b before = picture.at<cv::Vec4b>(10, 20);
    const cv::Vec4b after = clear.mat().at<cv::Vec4b>(10, 20);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(after[c], mulReference(before[c], 140));
    EXPECT_EQ(after[3], 255);
}

TEST(RenderRegionInvoker, ExtremeEdgesAndOutOfRangeColoursStayInsideTheFrame) {
    const cv::Mat picture = qortest::noisePicture(33, 9, 8);
    PaddedFrame frame = PaddedFrame::from(picture, 16);
    shade(frame, INT_MIN, INT_MIN, INT_MAX, INT_MAX, {999, -5, 300, 700});
    EXPECT_EQ(qortest::differingBytes(frame.mat(), picture), 0);  // the rectangle holds the whole frame
    EXPECT_TRUE(frame.paddingIntact());

    shade(frame, INT_MAX, 0, INT_MIN, 5, {999, -5, 300, 700});  // colours and opacity clamp to 0..255
    EXPECT_EQ(qortest::differingBytes(frame.mat(), shadedReference(picture, 1, 0, 0, 5, {255, 0, 255, 255})), 0);
    EXPECT_TRUE(frame.paddingIntact());
}

}  // namespace
