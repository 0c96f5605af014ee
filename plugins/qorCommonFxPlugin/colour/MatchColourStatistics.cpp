#include "plugins/qorCommonFxPlugin/colour/MatchColourStatistics.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace labColour {

namespace {

// Adds the sum of a row's values and the sum of their products with the row `other` to `sum` and
// `products`: eight running float sums (a row is short enough for float), added up in double.
void addRow(const float* values, const float* other, int width, double& sum, double& products) {
    Floats sums[2] = {}, productSums[2] = {};
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        for (int half = 0; half < 2; ++half) {
            const Floats v = loadLanes<Floats>(values + x + 4 * half);
            sums[half] += v;
            productSums[half] += v * loadLanes<Floats>(other + x + 4 * half);
        }
    }
    for (int lane = 0; lane < 4; ++lane) {
        sum += static_cast<double>(sums[0][lane]) + sums[1][lane];
        products += static_cast<double>(productSums[0][lane]) + productSums[1][lane];
    }
    for (; x < width; ++x) {
        sum += values[x];
        products += static_cast<double>(values[x]) * other[x];
    }
}

// Means of plane `index` and of its products with plane `other`.
void planeMeans(const LabPlanes& planes, int index, int other, double& mean, double& meanProduct) {
    double sum = 0, products = 0;
    for (int y = 0; y < planes.height(); ++y) {
        addRow(planes.row(index, y), planes.row(other, y), planes.width(), sum, products);
    }
    const double count = static_cast<double>(planes.width()) * planes.height();
    mean = sum / count;
    meanProduct = products / count;
}

// Mean and (population) standard deviation of plane `index`.
void measurePlane(const LabPlanes& planes, int index, double& mean, double& deviation) {
    double meanSquare = 0;
    planeMeans(planes, index, index, mean, meanSquare);
    deviation = std::sqrt(std::max(meanSquare - mean * mean, 0.0));
}

}  // namespace

LabStatistics measurePlanes(const LabPlanes& planes) {
    LabStatistics statistics;
    cv::parallel_for_(
        cv::Range(0, 3),
        [&](const cv::Range& indexes) {
            for (int k = indexes.start; k < indexes.end; ++k) {
                measurePlane(planes, k, statistics.mean[k], statistics.deviation[k]);
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
    double meanAlpha = 0, correlation = 0;
    labColour::planeMeans(planes, 1, 2, meanAlpha, correlation);
    statistics.correlation = std::clamp(correlation, -0.99999, 0.99999);
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
