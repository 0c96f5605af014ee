#pragma once
// A caller-owned 8-bit BGRA picture as Transform receives it, and the one place that decides
// whether such a buffer may be touched.

#include <cstddef>
#include <cstdint>

#include <opencv2/core.hpp>

namespace tessel {

struct Frame {
    static constexpr int kChannels = 4;

    uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;  // bytes from one row to the next

    bool empty() const { return data == nullptr; }
    // A pointer, positive sizes, and rows long enough for `width` pixels.
    bool isValid() const {
        return data && width > 0 && height > 0 &&
               static_cast<int64_t>(stride) >= static_cast<int64_t>(width) * kChannels;
    }
    // True when `other`'s width and height both fit inside this frame.
    bool covers(const Frame& other) const { return width >= other.width && height >= other.height; }
    bool sameSize(const Frame& other) const { return width == other.width && height == other.height; }
    // Both frames valid and `other` fits inside this one: what an effect that writes the input's
    // area of its output needs before touching either buffer.
    bool canHold(const Frame& other) const { return isValid() && other.isValid() && covers(other); }
    // Both frames valid and of one size: what an effect that maps every pixel to the same place of
    // its output needs.
    bool matches(const Frame& other) const { return isValid() && other.isValid() && sameSize(other); }

    // True when the two frames share any byte, as when a host hands the main input as the output.
    bool overlaps(const Frame& other) const {
        const auto first = [](const Frame& f) { return reinterpret_cast<std::uintptr_t>(f.data); };
        const auto end = [&](const Frame& f) {
            const auto lastRow = static_cast<std::uintptr_t>(f.height - 1) * static_cast<std::uintptr_t>(f.stride);
            return first(f) + lastRow + static_cast<std::uintptr_t>(f.width) * kChannels;
        };
        return first(*this) < end(other) && first(other) < end(*this);
    }

    uint8_t* row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }
    cv::Size size() const { return {width, height}; }
    // A CV_8UC4 header over the caller's memory (no copy). Only for valid frames.
    cv::Mat mat() const { return cv::Mat(height, width, CV_8UC4, data, static_cast<std::size_t>(stride)); }
};

// What an effect reads while it writes `out`: `in` itself, or a copy of it in `scratch` when the two
// share memory (an effect whose reads trail its writes would otherwise read its own output).
inline Frame readableApart(const Frame& in, const Frame& out, cv::Mat& scratch) {
    if (!in.overlaps(out)) return in;
    in.mat().copyTo(scratch);
    return {scratch.data, scratch.cols, scratch.rows, static_cast<int32_t>(scratch.step[0])};
}

}  // namespace tessel
