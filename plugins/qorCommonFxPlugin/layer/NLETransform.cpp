#include "plugins/qorCommonFxPlugin/layer/NLETransform.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "plugins/qorCommonFxPlugin/layer/AffineWarp.h"

using tessel::Frame;

namespace {

constexpr double kPi = 3.141592653589793;
// Angles closer to zero than this are treated as no rotation.
constexpr double kNoRotation = 1e-7;

const WarpRects kWholeFrame{{0.0, 0.0, 1.0, 1.0}, {0.0, 0.0, 1.0, 1.0}};

}  // namespace

void warpRectToRect(const cv::Mat& source, cv::Mat& destination, const WarpRects& rects, float angle,
                    int interpolation) {
    if (source.empty() || destination.empty()) return;
    const double W = destination.cols, H = destination.rows;
    const double w = source.cols, h = source.rows;
    const cv::Rect2d& to = rects.destination;
    const cv::Rect2d& from = rects.source;

    const double dx = to.x * W, dy = to.y * H, dw = to.width * W, dh = to.height * H;
    const double cx = (to.width * 0.5 + to.x) * W;
    const double cy = (to.height * 0.5 + to.y) * H;

    const double sx0 = std::max(0.0, w * from.x), sy0 = std::max(0.0, h * from.y);
    const double sw = std::min(w, w * from.width), sh = std::min(h, h * from.height);
    const cv::Rect sourceRect(std::max(0, static_cast<int>(sx0 + 0.5)), std::max(0, static_cast<int>(sy0 + 0.5)),
                              std::min(static_cast<int>(sw + 0.5), source.cols),
                              std::min(static_cast<int>(sh + 0.5), source.rows));
    // A source rectangle reaching past the source is cut at its edge rather than read beyond it.
    const cv::Mat region = source(sourceRect & cv::Rect(0, 0, source.cols, source.rows));

    const cv::Rect target(static_cast<int>(dx + 0.5), static_cast<int>(dy + 0.5), static_cast<int>(dw + 0.5),
                          static_cast<int>(dh + 0.5));
    const bool unrotated = -kNoRotation < angle && angle < kNoRotation;
    const bool targetInside = target.x >= 0 && target.y >= 0 && target.x + target.width <= destination.cols &&
                              target.y + target.height <= destination.rows && target.width >= 1 &&
                              target.height >= 1;
    if (unrotated && targetInside) {
        cv::Mat targetRegion = destination(target);
        if (region.size() != target.size())
            cv::resize(region, targetRegion, target.size(), 0, 0, interpolation);
        else
            region.copyTo(targetRegion);
        return;
    }

    const double theta = angle * kPi / 180;
    const double c = std::cos(theta), s = std::sin(theta);
    const double kx = dw / sw, ky = dh / sh;
    cv::Mat matrix(2, 3, CV_64F, cv::Scalar(0));
    matrix.at<double>(0, 0) = kx * c;
    matrix.at<double>(0, 1) = ky * s;
    matrix.at<double>(0, 2) = cx - ky * (sh / 2) * s - kx * (sw / 2) * c;
    matrix.at<double>(1, 0) = -kx * s;
    matrix.at<double>(1, 1) = ky * c;
    matrix.at<double>(1, 2) = cy + kx * (sw / 2) * s - ky * (sh / 2) * c;
    if (interpolation == cv::INTER_LINEAR) {
        warpBilinearTransparent(region, destination, matrix);
    } else {
        cv::warpAffine(region, destination, matrix, destination.size(), interpolation, cv::BORDER_TRANSPARENT,
                       cv::Scalar());
    }
}

const tessel::ParamTable<NLETransform> NLETransform::kParams{
    {"theta", &NLETransform::theta_, 0},
    {"samperType", &NLETransform::samperType_, cv::INTER_LINEAR}};

int32_t NLETransform::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t*,
                                int32_t, int32_t, int32_t, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    // Any output size is fine: the input is scaled to it.
    if (!out.isValid() || !in.isValid()) return 1;

    tessel::readParams(*this, kParams);

    // Nothing may cross the host boundary: an interpolation flag OpenCV rejects, or any other
    // failure inside the warp, is reported as a failed frame.
    try {
        cv::Mat destination = out.mat();
        warpRectToRect(in.mat(), destination, kWholeFrame, -static_cast<float>(theta_), samperType_);
    } catch (...) {
        return 1;
    }
    return 0;
}
