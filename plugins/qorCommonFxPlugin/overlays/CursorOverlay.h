#pragma once
// Helpers shared by the cursor overlays (circle highlight, click rings): the box around the mouse
// clipped to the frame, and the colour mix of one overlay pixel.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <opencv2/core.hpp>

namespace cursorOverlay {

// The overlay colour as the three colour bytes of a BGRA pixel.
struct Colour {
    int32_t blue, green, red;
};

// Indices [first, end) of a box side, each bound truncated toward zero and clipped to 0..size.
// The bounds come in as doubles so that a box far outside the frame, or absurdly large, cannot
// overflow an int; a bound that is not a number gives an empty span.
inline cv::Range clipSpan(double first, double end, int size) {
    if (!(first < end)) return {0, 0};
    const auto bound = [size](double value) {
        const double clipped = std::clamp(value, -1.0, static_cast<double>(size) + 1.0);
        return std::clamp(static_cast<int>(clipped), 0, size);
    };
    return {bound(first), std::max(bound(first), bound(end))};
}

// Stripe hint for the box: a cursor-sized box is done on the calling thread, since waking the
// worker pool costs more than the box; only boxes of many pixels are split.
inline double boxStripes(const cv::Range& rows, const cv::Range& cols) {
    constexpr double kPixelsPerStripe = 16384;
    return std::max(1.0, std::floor(static_cast<double>(rows.size()) * cols.size() / kPixelsPerStripe));
}

// A box half-size in pixels, truncated toward zero like an int conversion, but kept within
// +-1e9 (boxes that large cover any frame anyway) and 0 for anything that is not a number.
inline double truncatedHalfBox(double pixels) {
    if (std::isnan(pixels)) return 0.0;
    return std::trunc(std::clamp(pixels, -1e9, 1e9));
}

// x clamped to 0..1, with anything that is not a number counting as 0.
inline double clampUnit(double x) { return x > 0.0 ? (x < 1.0 ? x : 1.0) : 0.0; }

// One colour byte moved towards the overlay value k with weight a (0..1): k*a is rounded to float,
// the rest is in double, and the sum is truncated and saturated to a byte.
inline uint8_t mixChannel(uint8_t c, int32_t k, double a) {
    const double mixed = static_cast<double>(static_cast<float>(k * a)) + c * (1.0 - a);
    return cv::saturate_cast<uint8_t>(static_cast<int64_t>(std::clamp(mixed, -1.0, 256.0)));
}

// Mixes the three colour bytes of a BGRA pixel; alpha is left alone.
inline void mixPixel(uint8_t* pixel, const Colour& colour, double a) {
    pixel[0] = mixChannel(pixel[0], colour.blue, a);
    pixel[1] = mixChannel(pixel[1], colour.green, a);
    pixel[2] = mixChannel(pixel[2], colour.red, a);
}

}  // namespace cursorOverlay
