#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

namespace labColour {

LabStatistics measurePlanes(const LabPlanes& planes) {
    LabStatistics statistics;
    cv::parallel_for_(
        cv::Range(0, 3),
        [&](const cv::Range& indexes) {
            for (int k = indexes.start; k < indexes.end; ++k) {
                cv::Scalar mean, deviation;
                cv::meanStdDev(planes.mat(k), mean, deviation);
                statistics.mean[k] = mean[0];
                statistics.deviation[k] = deviation[0];
            }
        },
        3);
    return statistics;
}

bool firstVersionTargets(const tessel::Frame& picture, std::array<float, 6>& targets) {
    LabPlanes planes;
    if (!planes.allocate(picture.width, picture.height)) return false;
    convertToLab(picture, planes, kFirstVersionFloor, true);
    const LabStatistics measured = measurePlanes(planes);
    for (int k = 0; k < 3; ++k) {
        targets[k] = static_cast<float>(measured.mean[k]);
        targets[3 + k] = static_cast<float>(measured.deviation[k]);
    }
    return true;
}

}  // namespace labColour

namespace V2Utils {

namespace {

// Replaces the plane by (plane - mean) / (deviation + 0.0001).
void standardise(cv::Mat plane, double mean, double deviation) {
    const auto centre = static_cast<float>(mean);
    const auto spread = static_cast<float>(deviation + 0.0001);
    for (int y = 0; y < plane.rows; ++y) {
        float* value = plane.ptr<float>(y);
        for (int x = 0; x < plane.cols; ++x) value[x] = (value[x] - centre) / spread;
    }
}

}  // namespace

cv::Rect nonBlackRegion(const tessel::Frame& picture, cv::Mat& gray) {
    cv::cvtColor(picture.mat(), gray, cv::COLOR_BGRA2GRAY);
    return cv::boundingRect(gray);
}

bool measureRegion(const tessel::Frame& picture, const cv::Mat& gray, cv::Rect region, labColour::LabPlanes& planes,
                   labColour::PlaneBlock& grayPlane, bool vectorised, RegionStatistics& statistics) {
    statistics.region = region;
    cv::Scalar grayMean, grayDeviation;
    cv::meanStdDev(gray(region), grayMean, grayDeviation);
    statistics.grayMean = grayMean[0] / 255.0;
    statistics.graySpread = grayDeviation[0] / 65025.0;
    if (!planes.allocate(region.width, region.height) || !grayPlane.allocate(region.width, region.height)) return false;

    const tessel::Frame area{picture.row(region.y) + 4 * region.x, region.width, region.height, picture.stride};
    labColour::convertToLab(area, planes, labColour::kSecondVersionFloor, vectorised);
    statistics.lab = labColour::measurePlanes(planes);
    cv::parallel_for_(
        cv::Range(0, 3),
        [&](const cv::Range& indexes) {
            for (int k = indexes.start; k < indexes.end; ++k) {
                standardise(planes.mat(k), statistics.lab.mean[k], statistics.lab.deviation[k]);
                if (k == 0) gray(region).convertTo(grayPlane.mat(0), CV_32F, 1.0 / 255.0);
            }
        },
        3);
    cv::Mat product;
    cv::multiply(planes.mat(1), planes.mat(2), product);
    statistics.correlation = std::clamp(cv::mean(product)[0], -0.99999, 0.99999);
    return true;
}

bool secondVersionTargets(const tessel::Frame& picture, std::array<float, 9>& targets) {
    targets.fill(0.0f);
    const InexactIppScope ipp;
    cv::Mat gray;
    const cv::Rect region = nonBlackRegion(picture, gray);
    if (region.empty()) return true;
    labColour::LabPlanes planes;
    labColour::PlaneBlock grayPlane(1);
    RegionStatistics measured;
    if (!measureRegion(picture, gray, region, planes, grayPlane, true, measured)) return false;
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
