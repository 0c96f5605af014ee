#pragma once
// Integer forms of the multiply, interpolation and alpha-union tables of BlendTables, for single
// bytes and for vectors of 16-bit lanes (two BGRA pixels per vector, one channel per lane). Each
// gives the table's byte for every pair of 8-bit inputs (checked exhaustively by the tests) but
// needs no memory: the interpolation block alone is 17 MB, and per-pixel look-ups into it miss the
// cache on almost every pixel. Every intermediate value stays below 65536.

#include <cstdint>

#include <opencv2/core/hal/intrin.hpp>

namespace imageC {

// x / 255 truncated, for every 16-bit x: x * 0x8081 / 2^23.
inline uint16_t divide255(uint16_t x) { return static_cast<uint16_t>((x * 0x8081u) >> 23); }

// a * b / 255 rounded to nearest: table 1 (mul). The remainder of a * b by 255 is never 127.5, so
// adding 127 before the truncating division rounds, and half-up equals the table's ties-to-even.
inline uint8_t mul255(uint8_t a, uint8_t b) { return static_cast<uint8_t>(divide255(static_cast<uint16_t>(a * b + 127))); }

// (s * t + d * (255 - t)) / 255 truncated: the interpolation row of (s, d) at t.
inline uint8_t lerp255(uint8_t s, uint8_t d, uint8_t t) {
    return static_cast<uint8_t>(divide255(static_cast<uint16_t>(s * t + d * (255 - t))));
}

// a + (255 - a) * b / 255 truncated (never above 255): table 19 (alpha union). Equal to
// lerp255(255, b, a), the form the vector kernels use.
inline uint8_t unite255(uint8_t a, uint8_t b) {
    return static_cast<uint8_t>(a + divide255(static_cast<uint16_t>((255 - a) * b)));
}

// Two BGRA pixels widened to 16-bit lanes: B, G, R, A of the first pixel, then of the second.
using PixelLanes = cv::v_uint16x8;

// The high half of x * 0x8081 (one instruction), shifted by the remaining 7 bits.
inline PixelLanes divide255(const PixelLanes& x) { return cv::v_mul_hi(x, cv::v_setall_u16(0x8081)) >> 7; }

inline PixelLanes mul255(const PixelLanes& a, const PixelLanes& b) {
    return divide255(cv::v_mul_wrap(a, b) + cv::v_setall_u16(127));
}

inline PixelLanes lerp255(const PixelLanes& s, const PixelLanes& d, const PixelLanes& t) {
    return divide255(cv::v_mul_wrap(s, t) + cv::v_mul_wrap(d, cv::v_setall_u16(255) - t));
}

// Each pixel's channel 3 repeated in all four of its lanes.
inline PixelLanes broadcastAlpha(const PixelLanes& p) {
    const cv::v_uint64x2 a = cv::v_reinterpret_as_u64(p) >> 48;
    return cv::v_reinterpret_as_u16(a | (a << 16) | (a << 32) | (a << 48));
}

// 255 in the alpha lanes, 0 in the colour lanes; OR-ing it sets every alpha lane to 255.
inline PixelLanes opaqueAlphaLanes() { return cv::v_reinterpret_as_u16(cv::v_setall_u64(0x00FF000000000000ull)); }

// Four pixels (16 bytes) as two vectors of lanes.
struct FourPixels {
    PixelLanes first, second;
};

inline FourPixels loadFourPixels(const uint8_t* p) {
    FourPixels q;
    cv::v_expand(cv::v_load(p), q.first, q.second);
    return q;
}

inline void storeFourPixels(uint8_t* p, const FourPixels& q) { cv::v_store(p, cv::v_pack(q.first, q.second)); }

}  // namespace imageC
