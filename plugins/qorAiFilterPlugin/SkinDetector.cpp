#include "plugins/qorAiFilterPlugin/SkinDetector.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace qorai {

namespace {

// The elliptical skin model of R.-L. Hsu, M. Abdel-Mottaleb and A. K. Jain, "Face Detection in
// Color Images", IEEE Trans. Pattern Analysis and Machine Intelligence 24(5), 696-706, 2002:
// BT.601 chroma (Cb, Cr) is made independent of luma by a piecewise non-linear transform, and
// skin lies inside an ellipse in the transformed (Cb', Cr') plane. The weight is 1 in the inner
// part of the ellipse and falls to 0 at its boundary, so that greys and whites, which lie just
// beyond the end of its long axis, stay out.
constexpr float kLumaLow = 125.0f, kLumaHigh = 188.0f, kLumaMin = 16.0f, kLumaMax = 235.0f;
constexpr float kSpreadCb = 46.97f, kSpreadCbLow = 23.0f, kSpreadCbHigh = 14.0f;
constexpr float kSpreadCr = 38.76f, kSpreadCrLow = 20.0f, kSpreadCrHigh = 10.0f;
constexpr float kCentreCb = 109.38f, kCentreCr = 152.02f, kTheta = 2.53f;
constexpr float kEllipseX = 1.60f, kEllipseY = 2.41f, kAxisA = 25.39f, kAxisB = 14.03f;
constexpr float kInnerDistance = 0.6f;

// The detector works at most this wide: the model needs no fine detail, and the reduction with the
// blur after it is the light smoothing that keeps the mask free of single-pixel speckle.
constexpr int kWorkWidth = 480;
// Colours are weighed through a table of 64 levels per channel (the two low bits dropped), which
// moves a colour's chroma by at most about 2 of the model's units.
constexpr int kLevelBits = 6;
constexpr int kLevels = 1 << kLevelBits;

struct Chroma {
    float cb, cr;
};

// Centre of the skin cluster's chroma at luma y (the model's C-bar(Y)), outside [kLumaLow, kLumaHigh].
// Towards either end of the luma range it moves towards neutral chroma (Cb 118, Cr 144 at the
// dark end; Cb 118, Cr 132 at the bright end), as skin loses saturation in shadows and highlights;
// with the bright-end Cr rising instead, lit foreheads and cheeks fall out of the ellipse.
Chroma clusterCentre(float y) {
    if (y < kLumaLow) {
        const float t = (kLumaLow - y) / (kLumaLow - kLumaMin);
        return {108.0f + t * (118.0f - 108.0f), 154.0f - t * (154.0f - 144.0f)};
    }
    const float t = (y - kLumaHigh) / (kLumaMax - kLumaHigh);
    return {108.0f + t * (118.0f - 108.0f), 154.0f - t * (154.0f - 132.0f)};
}

// Width of the skin cluster at luma y (the model's W(Y)), outside [kLumaLow, kLumaHigh].
Chroma clusterSpread(float y) {
    if (y < kLumaLow) {
        const float t = (y - kLumaMin) / (kLumaLow - kLumaMin);
        return {kSpreadCbLow + t * (kSpreadCb - kSpreadCbLow), kSpreadCrLow + t * (kSpreadCr - kSpreadCrLow)};
    }
    const float t = (kLumaMax - y) / (kLumaMax - kLumaHigh);
    return {kSpreadCbHigh + t * (kSpreadCb - kSpreadCbHigh), kSpreadCrHigh + t * (kSpreadCr - kSpreadCrHigh)};
}

Chroma lumaIndependentChroma(float y, Chroma c) {
    if (y >= kLumaLow && y <= kLumaHigh) return c;
    const Chroma centre = clusterCentre(y), spread = clusterSpread(y), reference = clusterCentre(kLumaHigh);
    return {(c.cb - centre.cb) * kSpreadCb / spread.cb + reference.cb,
            (c.cr - centre.cr) * kSpreadCr / spread.cr + reference.cr};
}

// The skin weight of every colour at the middle of its table cell, built on first use.
const std::vector<uint8_t>& weightTable() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> weights(kLevels * kLevels * kLevels);
        const auto level = [](int index) { return static_cast<uint8_t>((index << (8 - kLevelBits)) + 2); };
        for (int b = 0; b < kLevels; ++b) {
            for (int g = 0; g < kLevels; ++g) {
                for (int r = 0; r < kLevels; ++r) {
                    weights[(b * kLevels + g) * kLevels + r] = SkinDetector::skinWeight(level(b), level(g), level(r));
                }
            }
        }
        return weights;
    }();
    return table;
}

void weighRows(const cv::Mat& source, cv::Mat& weights, const cv::Range& rows) {
    const uint8_t* table = weightTable().data();
    constexpr int shift = 8 - kLevelBits;
    for (int y = rows.start; y < rows.end; ++y) {
        const uint8_t* pixel = source.ptr<uint8_t>(y);
        uint8_t* weight = weights.ptr<uint8_t>(y);
        for (int x = 0; x < source.cols; ++x, pixel += 4) {
            weight[x] = table[((pixel[0] >> shift) * kLevels + (pixel[1] >> shift)) * kLevels + (pixel[2] >> shift)];
        }
    }
}

}  // namespace

uint8_t SkinDetector::skinWeight(uint8_t blue, uint8_t green, uint8_t red) {
    // ITU-R BT.601 studio-range YCbCr, as the model was fitted.
    const float b = blue, g = green, r = red;
    const float luma = std::clamp(16.0f + (65.481f * r + 128.553f * g + 24.966f * b) / 255.0f, kLumaMin, kLumaMax);
    const Chroma chroma{128.0f + (-37.797f * r - 74.203f * g + 112.0f * b) / 255.0f,
                        128.0f + (112.0f * r - 93.786f * g - 18.214f * b) / 255.0f};
    const Chroma c = lumaIndependentChroma(luma, chroma);
    const float cosine = std::cos(kTheta), sine = std::sin(kTheta);
    const float dx = c.cb - kCentreCb, dy = c.cr - kCentreCr;
    const float u = cosine * dx + sine * dy - kEllipseX;
    const float v = -sine * dx + cosine * dy - kEllipseY;
    const float distance = std::sqrt(u * u / (kAxisA * kAxisA) + v * v / (kAxisB * kAxisB));
    const float weight = std::clamp((1.0f - distance) / (1.0f - kInnerDistance), 0.0f, 1.0f);
    return static_cast<uint8_t>(std::lround(weight * 255.0f));
}

void SkinDetector::detect(const cv::Mat& source, cv::Mat& mask) const {
    cv::Mat work = source;
    if (source.cols > kWorkWidth) {
        const int height = std::max(1, static_cast<int>(std::lround(double(source.rows) * kWorkWidth / source.cols)));
        cv::resize(source, work, cv::Size(kWorkWidth, height), 0, 0, cv::INTER_LINEAR);
    }
    cv::Mat weights(work.size(), CV_8UC1);
    cv::parallel_for_(cv::Range(0, work.rows), [&](const cv::Range& rows) { weighRows(work, weights, rows); });
    cv::GaussianBlur(weights, weights, cv::Size(5, 5), 0);
    cv::Mat scaled;
    cv::resize(weights, scaled, mask.size(), 0, 0, cv::INTER_LINEAR);
    cv::merge(std::vector<cv::Mat>(4, scaled), mask);
}

}  // namespace qorai
