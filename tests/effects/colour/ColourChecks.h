#pragma once
// What the colour effect tests share: a frame holding every colour once, and an in-place render.

#include <cstdint>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "support/EffectChecks.h"

namespace qortest {

// A 4096 x 4096 BGRA frame holding every colour once, with a varying alpha.
inline cv::Mat everyColour() {
    cv::Mat cube(4096, 4096, CV_8UC4);
    for (int i = 0; i < 1 << 24; ++i) {
        cube.at<cv::Vec4b>(i >> 12, i & 4095) = {uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16), uint8_t(i * 7)};
    }
    return cube;
}

// Renders `picture` with the input buffer as the output, expecting success and intact padding;
// returns the pixels the buffer then holds.
inline cv::Mat renderedInPlace(tessel::NLEEffectFilter& effect, const cv::Mat& picture) {
    PaddedFrame frame = PaddedFrame::from(picture);
    EXPECT_EQ(render(effect, frame.frame(), frame.frame()), 0);
    EXPECT_TRUE(frame.paddingIntact());
    return frame.pixels();
}

}  // namespace qortest
