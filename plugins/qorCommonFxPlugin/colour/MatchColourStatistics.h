#pragma once
// How the colour-matching effects measure a frame. The effects match a frame's statistics to
// targets measured elsewhere; measuring the reference picture with these same functions is what
// makes a frame take on that picture's colours.

#include <array>

#include <opencv2/core.hpp>

#include "framework/Frame.h"
#include "plugins/qorCommonFxPlugin/colour/LabColour.h"

namespace labColour {

// What the first version measures of a picture: the means of l, α, β followed by their standard
// deviations (its "mean_b", "mean_g", "mean_r", "stddb", "stddg", "stddr"). False when the working
// planes cannot be allocated.
bool firstVersionTargets(const tessel::Frame& picture, std::array<float, 6>& targets);

}  // namespace labColour

namespace V2Utils {

// What the second version knows about the non-black part of a frame once its planes hold the
// region in lαβ.
struct RegionStatistics {
    cv::Rect region;
    double grayMean = 0;    // mean grey / 255
    double graySpread = 0;  // standard deviation of grey / 65025
    labColour::LabStatistics lab;
    // Of the standardised α and β, (α - mean) / (deviation + 0.0001) and likewise β; within ±0.99999.
    double correlation = 0;
};

// Adds 0.0001 to a channel's deviation before dividing by it, so that flat channels stay finite.
constexpr double kStandardisingMargin = 0.0001;

// Turns OpenCV's inexact IPP paths on for its lifetime (when they were off) and restores the
// previous setting after.
class InexactIppScope {
public:
    InexactIppScope() : previous_(cv::ipp::useIPP_NotExact()) {
        if (!previous_) cv::ipp::setUseIPP_NotExact(true);
    }
    ~InexactIppScope() {
        if (!previous_) cv::ipp::setUseIPP_NotExact(false);
    }
    InexactIppScope(const InexactIppScope&) = delete;
    InexactIppScope& operator=(const InexactIppScope&) = delete;

private:
    bool previous_;
};

// The bounding box of the pixels whose grey (BGRA to grey) is not 0; `gray` receives the grey picture.
cv::Rect nonBlackRegion(const tessel::Frame& picture, cv::Mat& gray);

// Measures `region` of `picture` (with `gray`, its grey picture) and leaves the region in lαβ in
// `planes`. `vectorised` lets the conversion take several pixels at a time, as many as `path`
// allows. False when the planes cannot be allocated.
bool measureRegion(const tessel::Frame& picture, const cv::Mat& gray, cv::Rect region, labColour::LabPlanes& planes,
                   bool vectorised, tessel::SimdPath path, RegionStatistics& statistics);

// What the second version measures of a picture: "f0".."f2" the means of l, α, β, "f3".."f5" their
// deviations, "f6" the correlation of α and β, "f7" and "f8" the grey mean and spread. All 0 for a
// black picture. False when the working planes cannot be allocated.
bool secondVersionTargets(const tessel::Frame& picture, std::array<float, 9>& targets);

}  // namespace V2Utils
