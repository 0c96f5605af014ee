#pragma once
// What the tests of the two colour-matching effects share.

#include <opencv2/core.hpp>

#include "framework/Frame.h"

namespace qortest {

// A frame over a picture's own memory.
inline tessel::Frame frameOf(const cv::Mat& picture) {
    return {picture.data, picture.cols, picture.rows, static_cast<int32_t>(picture.step)};
}

// The largest difference between corresponding bytes of two pictures of one size and type.
inline int maxDifference(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat difference;
    cv::absdiff(a.reshape(1), b.reshape(1), difference);
    double largest = 0;
    cv::minMaxLoc(difference, nullptr, &largest);
    return static_cast<int>(largest);
}

}  // namespace qortest
