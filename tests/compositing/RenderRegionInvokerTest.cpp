#include "compositing/RenderRegionInvoker.h"

#include <algorithm>
#include <climits>

#include <gtest/gtest.h>

#include "effects/overlays/OverlayReference.h"
#include "support/TestSupport.h"

namespace {

using qortest::PaddedFrame;

struct Shade {
    int blue, green, red, alpha;
};

// Shades outside the rectangle whose edges (`right` and `bottom` included) are given.
void shade(PaddedFrame& frame, int left, int top, int right, int bottom, const Shade& s) {
    cv::Mat output = frame.mat();
    const auto inverse = static_cast<uint8_t>(255 - std::clamp(s.alpha, 0, 255));
    const imageC::parallelRenderRegionInInvoker invoker(&output, inverse, right, bottom, top, left, s.blue, s.green,
                                                        s.red, s.alpha);
    cv::parallel_for_(cv::Range(0, output.rows), invoker, 4);
}

cv::Mat expectedShade(const cv::Mat& picture, int left, int top, int right, int bottom, const Shade& s) {
    return overlayref::shadedOutside(picture, {left, top, int64_t{right} + 1, int64_t{bottom} + 1},
                                     {s.blue, s.green, s.red}, s.alpha);
}

TEST(RenderRegionInvoker, ShadesExactlyTheOutsideAtEveryOpacity) {
    const cv::Mat picture = qortest::noisePicture(67, 41, 3);
    const cv::Rect edges[] = {
        {10, 5, 40, 30},     // inside the frame
        {-20, -3, 15, 12},   // over the top-left corner
        {50, 30, 200, 100},  // over the bottom-right corner
        {0, 0, 66, 40},      // the whole frame: nothing shaded
        {30, 10, 29, 20},    // empty (right left of left): everything shaded
        {100, 10, 120, 20},  // beside the frame
    };
    for (const int alpha : {0, 1, 128, 254, 255}) {
        for (const cv::Rect& e : edges) {  // left, top, right, bottom
            SCOPED_TRACE(std::to_string(alpha) + " at " + std::to_string(e.x) + "," + std::to_string(e.y));
            PaddedFrame frame = PaddedFrame::from(picture, 20);
            shade(frame, e.x, e.y, e.width, e.height, {40, 200, 90, alpha});
            const cv::Mat expected = expectedShade(picture, e.x, e.y, e.width, e.height, {40, 200, 90, alpha});
            EXPECT_EQ(qortest::differingBytes(frame.mat(), expected), 0);
            EXPECT_TRUE(frame.paddingIntact());
        }
    }
}

TEST(RenderRegionInvoker, ExtremeEdgesAndOutOfRangeColoursStayInsideTheFrame) {
    const cv::Mat picture = qortest::noisePicture(33, 9, 8);
    PaddedFrame frame = PaddedFrame::from(picture, 16);
    shade(frame, INT_MIN, INT_MIN, INT_MAX, INT_MAX, {999, -5, 300, 700});
    EXPECT_EQ(qortest::differingBytes(frame.mat(), picture), 0);  // the rectangle holds the whole frame
    EXPECT_TRUE(frame.paddingIntact());

    shade(frame, INT_MAX, 0, INT_MIN, 5, {999, -5, 300, 700});  // colours and opacity clamp to 0..255
    EXPECT_EQ(qortest::differingBytes(frame.mat(), expectedShade(picture, 1, 0, 0, 5, {255, 0, 255, 255})), 0);
    EXPECT_TRUE(frame.paddingIntact());
}

}  // namespace
