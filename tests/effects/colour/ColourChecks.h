#pragma once
// What the colour effect tests share: a frame holding every colour once, and the instruction-set
// paths to render it on.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "framework/SimdDispatch.h"

namespace qortest {

// A 4096 x 4096 BGRA frame holding every colour once, with a varying alpha.
inline cv::Mat everyColour() {
    cv::Mat cube(4096, 4096, CV_8UC4);
    for (int i = 0; i < 1 << 24; ++i) {
        cube.at<cv::Vec4b>(i >> 12, i & 4095) = {uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16), uint8_t(i * 7)};
    }
    return cube;
}

// The SSE2 baseline first, then every wider path this machine runs.
inline std::vector<tessel::SimdPath> runnablePaths() {
    std::vector<tessel::SimdPath> paths;
    for (const tessel::SimdPath path : tessel::kSimdPaths)
        if (tessel::machineRuns(path)) paths.push_back(path);
    return paths;
}

}  // namespace qortest
