#pragma once
// The per-pixel rules of the compositing kernels, shared by the row-parallel loop bodies and the
// single-pixel blend. Each rule modifies the destination pixel D in place from the source pixel S
// (4 bytes each: channels 0-2 colour, 3 alpha). operator() handles one pixel; fourPixels() handles
// four adjacent pixels in 16-bit lanes with the same arithmetic and gives the same bytes (the tests
// hold both to a table-based model on widths that leave a remainder). The four-pixel forms have no
// branches: where a pixel is to stay as it is, either the formula gives D back by itself (weight 0)
// or a select keeps it.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "compositing/ByteArithmetic.h"

namespace imageC::rules {

// Applies `blend(sourceLanes, destinationLanes) -> destinationLanes` to four pixels.
template <class Blend>
void blendFourPixels(const uint8_t* s, uint8_t* d, const Blend& blend) {
    const FourPixels source = loadFourPixels(s);
    FourPixels target = loadFourPixels(d);
    target.first = blend(source.first, target.first);
    target.second = blend(source.second, target.second);
    storeFourPixels(d, target);
}

// The table bytes T[D * 256 + S] of every channel of four pixels, as 16-bit lanes.
inline FourPixels lookUpFourPixels(const uint8_t* table, const uint8_t* s, const uint8_t* d) {
    // Interleaving source and destination bytes gives the sixteen table indices D * 256 + S as
    // 16-bit lanes (little-endian).
    cv::v_uint8x16 low, high;
    cv::v_zip(cv::v_load(s), cv::v_load(d), low, high);
    alignas(16) uint16_t index[16];
    cv::v_store(index, cv::v_reinterpret_as_u16(low));
    cv::v_store(index + 8, cv::v_reinterpret_as_u16(high));
    // The looked-up bytes are gathered in registers: written to memory one by one and read back
    // as a vector they would stall on store forwarding.
    uint64_t firstHalf = 0, secondHalf = 0;
    for (int i = 0; i < 8; ++i) {
        firstHalf |= uint64_t{table[index[i]]} << (8 * i);
        secondHalf |= uint64_t{table[index[8 + i]]} << (8 * i);
    }
    FourPixels values;
    cv::v_expand(cv::v_reinterpret_as_u8(cv::v_uint64x2(firstHalf, secondHalf)), values.first, values.second);
    return values;
}

// mul(V, alpha) + mul(D, 255 - alpha) for four pixels, alpha = mul(S.a, strength) per pixel: D
// weighted towards the values V. A transparent source gives weight 0 and so leaves D as it is.
inline void weighFourPixels(const FourPixels& values, const uint8_t* s, uint8_t* d, uint8_t strength) {
    const FourPixels source = loadFourPixels(s);
    FourPixels target = loadFourPixels(d);
    const PixelLanes k = cv::v_setall_u16(strength);
    const auto blend = [&](const PixelLanes& src, const PixelLanes& value, const PixelLanes& dst) {
        const PixelLanes alpha = mul255(broadcastAlpha(src), k);
        return mul255(value, alpha) + mul255(dst, cv::v_setall_u16(255) - alpha);
    };
    target.first = blend(source.first, values.first, target.first);
    target.second = blend(source.second, values.second, target.second);
    storeFourPixels(d, target);
}

// A blend-mode table applied to all four channels, alpha included, weighted by mul(S.a, strength).
// A transparent source gives weight 0 and so leaves D as it is.
struct ModeTable {
    const uint8_t* table;
    uint8_t strength;

    void operator()(const uint8_t* s, uint8_t* d) const {
        const uint8_t alpha = mul255(s[3], strength);
        const uint8_t beta = static_cast<uint8_t>(255 - alpha);
        for (int c = 0; c < 4; ++c) {
            d[c] = static_cast<uint8_t>(mul255(table[d[c] * 256 + s[c]], alpha) + mul255(d[c], beta));
        }
    }

    void fourPixels(const uint8_t* s, uint8_t* d) const {
        weighFourPixels(lookUpFourPixels(table, s, d), s, d, strength);
    }
};

// Normal over a premultiplied source; a transparent source pixel leaves D as it is. Saturates
// because a source colour above its alpha (not truly premultiplied) could otherwise wrap. The alpha
// channel's share mul(S.a, strength) is the colour formula's mul(S.c, strength) at c = 3, so one
// formula serves all four channels.
struct NormalPremultiplied {
    uint8_t strength;

    void operator()(const uint8_t* s, uint8_t* d) const {
        if (s[3] == 0) return;
        const uint8_t beta = static_cast<uint8_t>(255 - mul255(s[3], strength));
        for (int c = 0; c < 4; ++c) d[c] = static_cast<uint8_t>(std::min(255, mul255(d[c], beta) + mul255(s[c], strength)));
    }

    void fourPixels(const uint8_t* s, uint8_t* d) const {
        const PixelLanes k = cv::v_setall_u16(strength);
        const PixelLanes full = cv::v_setall_u16(255);
        blendFourPixels(s, d, [&](const PixelLanes& src, const PixelLanes& dst) {
            const PixelLanes alpha = broadcastAlpha(src);
            const PixelLanes beta = full - mul255(alpha, k);
            const PixelLanes blended = cv::v_min(mul255(dst, beta) + mul255(src, k), full);
            return cv::v_select(alpha == cv::v_setzero_u16(), dst, blended);
        });
    }
};

// Normal over a straight source at reduced strength. The alpha channel is the union of the weight
// with D.a, which is the interpolation from D.a towards 255, so all four channels interpolate.
// Weight 0 interpolates to D itself: transparent pixels stay as they are.
struct NormalStraight {
    uint8_t strength;

    void operator()(const uint8_t* s, uint8_t* d) const {
        const uint8_t alpha = mul255(s[3], strength);
        for (int c = 0; c < 3; ++c) d[c] = lerp255(s[c], d[c], alpha);
        d[3] = unite255(alpha, d[3]);
    }

    void fourPixels(const uint8_t* s, uint8_t* d) const {
        const PixelLanes k = cv::v_setall_u16(strength);
        blendFourPixels(s, d, [&](const PixelLanes& src, const PixelLanes& dst) {
            return lerp255(src | opaqueAlphaLanes(), dst, mul255(broadcastAlpha(src), k));
        });
    }
};

// Normal over a straight source at full strength: the destination colour is first premultiplied by
// its own alpha, on every pixel, transparent source or not.
struct NormalStraightFull {
    void operator()(const uint8_t* s, uint8_t* d) const {
        for (int c = 0; c < 3; ++c) d[c] = lerp255(s[c], mul255(d[c], d[3]), s[3]);
        d[3] = unite255(s[3], d[3]);
    }

    void fourPixels(const uint8_t* s, uint8_t* d) const {
        blendFourPixels(s, d, [](const PixelLanes& src, const PixelLanes& dst) {
            // Multiplying the alpha lane by 255 keeps it.
            const PixelLanes premultiplied = mul255(dst, broadcastAlpha(dst) | opaqueAlphaLanes());
            return lerp255(src | opaqueAlphaLanes(), premultiplied, broadcastAlpha(src));
        });
    }
};

// The destination survives only where the source is opaque.
struct HollowIn {
    void operator()(const uint8_t* s, uint8_t* d) const {
        for (int c = 0; c < 4; ++c) d[c] = mul255(d[c], s[3]);
    }

    void fourPixels(const uint8_t* s, uint8_t* d) const {
        blendFourPixels(s, d, [](const PixelLanes& src, const PixelLanes& dst) { return mul255(dst, broadcastAlpha(src)); });
    }
};

// The destination is cut away where the source is opaque; where the destination is fully
// transparent the source shows instead.
struct HollowOut {
    void operator()(const uint8_t* s, uint8_t* d) const {
        const bool clear = d[3] == 0;
        const uint8_t keep = static_cast<uint8_t>(255 - s[3]);
        for (int c = 0; c < 4; ++c) d[c] = clear ? s[c] : mul255(d[c], keep);
    }

    void fourPixels(const uint8_t* s, uint8_t* d) const {
        blendFourPixels(s, d, [](const PixelLanes& src, const PixelLanes& dst) {
            const PixelLanes cut = mul255(dst, cv::v_setall_u16(255) - broadcastAlpha(src));
            return cv::v_select(broadcastAlpha(dst) == cv::v_setzero_u16(), src, cut);
        });
    }
};

// The source, premultiplied by the destination's alpha, replaces the destination.
struct TextBgHollowIn {
    void operator()(const uint8_t* s, uint8_t* d) const {
        const uint8_t coverage = d[3];
        for (int c = 0; c < 4; ++c) d[c] = mul255(s[c], coverage);
    }

    void fourPixels(const uint8_t* s, uint8_t* d) const {
        blendFourPixels(s, d, [](const PixelLanes& src, const PixelLanes& dst) { return mul255(src, broadcastAlpha(dst)); });
    }
};

// The single-pixel blend's form of a mode table: colour through the table, alpha as plain
// coverage, min(255, mul(D.a, beta) + alpha). A transparent source leaves D as it is.
struct ModeTableCoverage {
    const uint8_t* table;
    uint8_t strength;

    void operator()(const uint8_t* s, uint8_t* d) const {
        if (s[3] == 0) return;
        const uint8_t alpha = mul255(s[3], strength);
        const uint8_t beta = static_cast<uint8_t>(255 - alpha);
        for (int c = 0; c < 3; ++c) {
            d[c] = static_cast<uint8_t>(std::min(255, mul255(table[d[c] * 256 + s[c]], alpha) + mul255(d[c], beta)));
        }
        d[3] = static_cast<uint8_t>(std::min(255, mul255(d[3], beta) + alpha));
    }

    // Weighing 255 instead of the alpha channel's table byte gives mul(255, alpha) = alpha, the
    // coverage formula; neither sum can exceed mul(255, alpha) + mul(255, beta) = 255, and a
    // transparent source weighs D by 255, which keeps it.
    void fourPixels(const uint8_t* s, uint8_t* d) const {
        FourPixels values = lookUpFourPixels(table, s, d);
        values.first |= opaqueAlphaLanes();
        values.second |= opaqueAlphaLanes();
        weighFourPixels(values, s, d, strength);
    }
};

// One row of `cols` pixels: four at a time, then the rest one by one.
template <class Rule>
void blendRow(const Rule& rule, const uint8_t* s, uint8_t* d, int cols) {
    int x = 0;
    for (; x + 4 <= cols; x += 4) rule.fourPixels(s + 4 * x, d + 4 * x);
    for (; x < cols; ++x) rule(s + 4 * x, d + 4 * x);
}

// blendRow over the pixels of `base` (either `d` or apart from it), written to `d`.
template <class Rule>
void blendRowOver(const Rule& rule, const uint8_t* s, const uint8_t* base, uint8_t* d, int cols) {
    if (base != d) std::memcpy(d, base, static_cast<std::size_t>(cols) * 4);
    blendRow(rule, s, d, cols);
}

}  // namespace imageC::rules
