#pragma once
// The per-channel brightness offsets of the beauty effects: each 8-bit value v becomes
// round(v + offset), ties to even, held to 0..255.

#include <array>
#include <cmath>
#include <cstdint>

#include <opencv2/core.hpp>

namespace beauty {

using ByteTable = std::array<uint8_t, 256>;

// The table of v -> round(v + offset); a NaN offset leaves values unchanged.
inline ByteTable offsetTable(double offset) {
    if (std::isnan(offset)) offset = 0.0;
    ByteTable table{};
    for (int v = 0; v < 256; ++v) {
        const double shifted = std::nearbyint(v + offset);
        table[v] = shifted >= 255.0 ? 255 : shifted > 0.0 ? static_cast<uint8_t>(shifted) : 0;
    }
    return table;
}

// Passes every BGRA channel of `in` through its table into `out` (same size; may be `in`).
inline void applyChannelTables(const cv::Mat& in, cv::Mat& out, const std::array<ByteTable, 4>& tables) {
    cv::Mat lut(1, 256, CV_8UC4);
    for (int v = 0; v < 256; ++v) {
        lut.at<cv::Vec4b>(0, v) = cv::Vec4b(tables[0][v], tables[1][v], tables[2][v], tables[3][v]);
    }
    cv::LUT(in, lut, out);
}

inline ByteTable identityTable() { return offsetTable(0.0); }

}  // namespace beauty
