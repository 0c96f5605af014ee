#pragma once
// A plain per-pixel model of the compositing kernels, written from the rules with the shared
// tables (mul, lerp, union and the mode tables) and no vector code, for the tests to compare the
// kernels with.

#include <cstdint>

#include <opencv2/core.hpp>

#include "compositing/BlendTables.h"

namespace blendref {

enum class Kernel { Table, NormalStraight, NormalPremultiplied, HollowIn, HollowOut, TextBgHollowIn, Replace, Nothing };

// The table of each table mode (by the mode numbers of BlendImage.h), or -1.
inline int modeTable(uint32_t mode) {
    using T = imageC::BlendTables;
    constexpr int kTables[24] = {
        -1,          T::Darken,   T::Multiply,    T::ColorBurn,  T::LinearBurn, T::Screen,     // 0 to 5
        T::ColorDodge, T::LinearDodge, T::Overlay, T::SoftLight, T::HardLight, T::VividLight,  // 6 to 11
        T::LinearLight, T::PinLight, T::HardMix,  T::Difference, T::Exclusion, T::Lighten,     // 12 to 17
        -1,          -1,          -1,             -1,            -1,            T::Add,        // 18 to 23
    };
    return mode < 24 ? kTables[mode] : -1;
}

// The kernel the whole-image dispatch runs for `mode`.
inline Kernel imageKernel(uint32_t mode, bool premultiplied) {
    if (modeTable(mode) >= 0) return Kernel::Table;
    switch (mode) {
    case 19: return Kernel::HollowIn;
    case 20: return Kernel::HollowOut;
    case 21: return Kernel::TextBgHollowIn;
    case 22: return Kernel::Replace;
    default: return premultiplied ? Kernel::NormalPremultiplied : Kernel::NormalStraight;
    }
}

inline const imageC::BlendTables& tables() { return *imageC::getBlendTables(); }

inline void tablePixel(const uint8_t* s, uint8_t* d, const uint8_t* table, uint8_t k, bool alphaAsCoverage) {
    const auto& t = tables();
    if (s[3] == 0) return;
    const int alpha = t.mul(s[3], k);
    const int beta = 255 - alpha;
    for (int c = 0; c < 3; ++c) {
        const int v = t.mul(table[d[c] * 256 + s[c]], alpha) + t.mul(d[c], beta);
        d[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    const int a = alphaAsCoverage ? t.mul(d[3], beta) + alpha : t.mul(table[d[3] * 256 + s[3]], alpha) + t.mul(d[3], beta);
    d[3] = static_cast<uint8_t>(a > 255 ? 255 : a);
}

inline void premultipliedPixel(const uint8_t* s, uint8_t* d, uint8_t k) {
    const auto& t = tables();
    if (s[3] == 0) return;
    const int alpha = t.mul(s[3], k);
    const int beta = 255 - alpha;
    for (int c = 0; c < 3; ++c) {
        const int v = t.mul(d[c], beta) + t.mul(s[c], k);
        d[c] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    const int a = t.mul(d[3], beta) + alpha;
    d[3] = static_cast<uint8_t>(a > 255 ? 255 : a);
}

// The straight Normal rule; `premultiplyDestination` is the full-strength path of the image kernel.
inline void straightPixel(const uint8_t* s, uint8_t* d, uint8_t k, bool premultiplyDestination) {
    const auto& t = tables();
    const uint8_t alpha = k == 255 ? s[3] : t.mul(s[3], k);
    if (k != 255 && alpha == 0) return;
    if (premultiplyDestination) {
        for (int c = 0; c < 3; ++c) d[c] = t.mul(d[c], d[3]);
    }
    for (int c = 0; c < 3; ++c) d[c] = t.lerp(s[c], d[c], alpha);
    d[3] = t.unite(alpha, d[3]);
}

inline void hollowPixel(Kernel kernel, const uint8_t* s, uint8_t* d) {
    const auto& t = tables();
    switch (kernel) {
    case Kernel::HollowIn:
        for (int c = 0; c < 4; ++c) d[c] = t.mul(d[c], s[3]);
        break;
    case Kernel::HollowOut:
        if (d[3] == 0) {
            for (int c = 0; c < 4; ++c) d[c] = s[c];
        } else {
            for (int c = 0; c < 4; ++c) d[c] = t.mul(d[c], 255 - s[3]);
        }
        break;
    case Kernel::TextBgHollowIn: {
        const uint8_t a = d[3];
        for (int c = 0; c < 4; ++c) d[c] = t.mul(s[c], a);
        break;
    }
    case Kernel::Replace:
        for (int c = 0; c < 4; ++c) d[c] = s[c];
        break;
    default: break;
    }
}

// What the whole-image dispatch should make of `dst`.
inline cv::Mat blendImage(const cv::Mat& src, const cv::Mat& dst, uint32_t mode, int strength, bool premultiplied) {
    cv::Mat out = dst.clone();
    const uint8_t k = static_cast<uint8_t>(strength);
    const Kernel kernel = imageKernel(mode, premultiplied);
    for (int y = 0; y < src.rows; ++y) {
        for (int x = 0; x < src.cols; ++x) {
            const uint8_t* s = src.ptr<uint8_t>(y) + 4 * x;
            uint8_t* d = out.ptr<uint8_t>(y) + 4 * x;
            switch (kernel) {
            case Kernel::Table: tablePixel(s, d, tables().table(modeTable(mode)), k, false); break;
            case Kernel::NormalPremultiplied: premultipliedPixel(s, d, k); break;
            case Kernel::NormalStraight: straightPixel(s, d, k, k == 255); break;
            default: hollowPixel(kernel, s, d); break;
            }
        }
    }
    return out;
}

}  // namespace blendref
