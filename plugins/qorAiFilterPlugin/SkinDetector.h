#pragma once
// The skin detector of the AI module: a soft skin-likelihood mask of a BGRA frame from the colour
// of each pixel, smoothed lightly.

#include <cstdint>

#include <opencv2/core.hpp>

namespace qorai {

class SkinDetector {
public:
    static constexpr const char* kGuid = "B6812345-039A-49CB-BEBB-339EACCD00F0";

    // Skin weight 0..255 of one BGR colour, before smoothing.
    static uint8_t skinWeight(uint8_t blue, uint8_t green, uint8_t red);

    // Writes the mask of `source` (CV_8UC4, any alpha) into `mask` (CV_8UC4, any size): all four
    // channels hold the skin weight, so alpha carries it for compositing and a picture of it is grey.
    void detect(const cv::Mat& source, cv::Mat& mask) const;
};

}  // namespace qorai
