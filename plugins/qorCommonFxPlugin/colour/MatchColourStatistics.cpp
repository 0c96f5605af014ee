#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

namespace labColour {

bool firstVersionTargets(const tessel::Frame& picture, std::array<float, 6>& targets) {
    LabPlanes planes;
    if (!planes.allocate(picture.width, picture.height)) return false;
    const LabStatistics measured = convertToLab(picture, planes, kFirstVersionFloor, true);
    for (int k = 0; k < 3; ++k) {
        targets[k] = static_cast<float>(measured.mean[k]);
        targets[3 + k] = static_cast<float>(measured.deviation[k]);
    }
    return true;
}

}  // namespace labColour

namespace V2Utils {

cv::Rect nonBlackRegion(const tessel::Frame& picture, cv::Mat& gray) {
    cv::cvtColor(picture.mat(), gray, cv::COLOR_BGRA2GRAY);
    return cv::boundingRect(gray);
}

bool measureRegion(const tessel::Frame& picture, const cv::Mat& gray, cv::Rect region, labColour::LabPlanes& planes,
                   bool vectorised, tessel::SimdPath path, RegionStatistics& statistics) {
    statistics.region = region;
    cv::Scalar grayMean, grayDeviation;
    cv::meanStdDev(gray(region), grayMean, grayDeviation);
    statistics.grayMean = grayMean[0] / 255.0;
    statistics.graySpread = grayDeviation[0] / 65025.0;
    if (!planes.allocate(region.width, region.height)) return false;

    const tessel::Frame area{picture.row(region.y) + 4 * region.x, region.width, region.height, picture.stride};
    const labColour::LabStatistics& lab = statistics.lab =
        labColour::convertToLab(area, planes, labColour::kSecondVersionFloor, vectorised, path);
    const double spreads = (lab.deviation[1] + kStandardisingMargin) * (lab.deviation[2] + kStandardisingMargin);
    statistics.correlation = std::clamp(lab.covariance / spreads, -0.99999, 0.99999);
    return true;
}

bool secondVersionTargets(const tessel::Frame& picture, std::array<float, 9>& targets) {
    targets.fill(0.0f);
    const InexactIppScope ipp;
    cv::Mat gray;
    const cv::Rect region = nonBlackRegion(picture, gray);
    if (region.empty()) return true;
    labColour::LabPlanes planes;
    RegionStatistics measured;
    if (!measureRegion(picture, gray, region, planes, true, tessel::chosenSimdPath(), measured)) return false;
    for (int k = 0; k < 3; ++k) {
        targets[k] = static_cast<float>(measured.lab.mean[k]);
        targets[3 + k] = static_cast<float>(measured.lab.deviation[k]);
    }
    targets[6] = static_cast<float>(measured.correlation);
    targets[7] = static_cast<float>(measured.grayMean);
    targets[8] = static_cast<float>(measured.graySpread);
    return true;
}

}  // namespace V2Utils
