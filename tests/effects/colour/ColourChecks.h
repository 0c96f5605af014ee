#pragma once
// What the colour effect tests share: a frame holding every colour once.

#include <cstdint>

#include <opencv2/core.hpp>

namespace qortest {

// A 4096 x 4096 BGRA frame holding every colour once, with a varying alpha.
inline cv::Mat everyColour() {
    cv::Mat cube(4096, 4096, CV_8UC4);
    for (int i = 0; i < 1 << 24; ++i) {
        cube.at<cv::Vec4b>(i >> 12, i & 4095) = {uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16), uint8_t(i * 7)};
    }
    return cube;
}

}  // namespace qortest
