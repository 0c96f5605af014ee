#pragma once
// Plain per-pixel arithmetic of the overlay and generator effects, written from their rules for
// the tests' reference pictures.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <opencv2/core.hpp>

namespace overlayref {

// a * b / 255 rounded to nearest.
inline int mul(int a, int b) { return static_cast<int>(std::nearbyint(a * b / 255.0)); }

// Square root by the bit-level reciprocal estimate 0x5F375A86 and one Newton step.
inline float approximateSqrt(float square) {
    uint32_t bits;
    std::memcpy(&bits, &square, 4);
    bits = 0x5F375A86u - (bits >> 1);
    float estimate;
    std::memcpy(&estimate, &bits, 4);
    estimate = estimate * (1.5f - 0.5f * square * estimate * estimate);
    return 1.0f / estimate;
}

inline double unit(double x) { return std::min(1.0, std::max(0.0, x)); }

// Colour byte c moved towards k with weight a: int(float(k * a) + c * (1 - a)).
inline uint8_t mix(uint8_t c, int k, double a) {
    return static_cast<uint8_t>(static_cast<int>(static_cast<double>(static_cast<float>(k * a)) + c * (1.0 - a)));
}

// Moves every pixel of `picture` by `mixer(pixel, colourIndex, weight(x, y))` where the weight is
// above 0, for the cursor overlays whose colour is (blue, green, red).
template <class Weight>
cv::Mat tinted(const cv::Mat& picture, const cv::Vec3i& bgr, Weight weight) {
    cv::Mat expected = picture.clone();
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            const double a = weight(x, y);
            cv::Vec4b& pixel = expected.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3 && a > 0; ++c) pixel[c] = mix(pixel[c], bgr[c], a);
        }
    }
    return expected;
}

// A half-open box with 64-bit edges, so that boxes reaching past the int range can be described.
struct Box {
    int64_t left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Outside `view`: the colour premultiplied by its own alpha, blended towards the shade (B, G, R)
// with opacity `alpha`, made opaque.
inline cv::Mat shadedOutside(const cv::Mat& picture, const Box& view, const cv::Vec3i& shade, int alpha) {
    cv::Mat expected = picture.clone();
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            if (view.contains(x, y)) continue;
            cv::Vec4b& pixel = expected.at<cv::Vec4b>(y, x);
            for (int c = 0; c < 3; ++c) pixel[c] = mul(mul(pixel[c], pixel[3]), 255 - alpha) + mul(shade[c], alpha);
            pixel[3] = 255;
        }
    }
    return expected;
}

}  // namespace overlayref
