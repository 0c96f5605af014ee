#pragma once
// The frame check and the stripe split shared by the colour effects that map every pixel of the
// main input to the same place of an output of the same size.

#include <opencv2/core.hpp>

#include "framework/Frame.h"

namespace colour {

// Both frames usable and of one size. The output may be the input itself (the effects read a
// pixel before writing it), but only with the same stride, or rows would overlap shifted.
inline bool canRender(const tessel::Frame& in, const tessel::Frame& out) {
    return in.matches(out) && (in.data != out.data || in.stride == out.stride);
}

// Frames up to this many pixels are processed on the calling thread; larger ones in eight stripes
// of rows on OpenCV's worker pool.
constexpr long kSerialPixels = 10000;
constexpr int kStripes = 8;

// Runs `body` over the stripe indices [0, kStripes) for a frame of `in`'s size.
inline void runStripes(const tessel::Frame& in, const cv::ParallelLoopBody& body) {
    if (static_cast<long>(in.width) * in.height > kSerialPixels) {
        cv::parallel_for_(cv::Range(0, kStripes), body, cv::getNumThreads());
    } else {
        body(cv::Range(0, kStripes));
    }
}

}  // namespace colour
