#pragma once
// The single-precision HSL conversions of the colour wheels' saturation step and the HSL
// adjustment. Their constants (0.166667 for a sixth, 0.002778 for 1/360) are part of the results.

#include <algorithm>

namespace colour {

struct Hsl {
    float hue;         // degrees, 0 to 360
    float saturation;  // 0 to 1
    float lightness;   // 0 to 1
};

// Channels 0..1 to HSL. A grey has saturation 0, its value as lightness and the hue `greyHue`.
inline Hsl toHsl(float r, float g, float b, float greyHue) {
    const float mx = std::max(std::max(r, g), b);
    const float mn = std::min(std::min(r, g), b);
    if (mx == mn) return {greyHue, 0.0f, r};
    const float lightness = (mx + mn) * 0.5f;
    const float range = mx - mn;
    const float saturation = lightness < 0.5f ? range / (mx + mn) : range / (2.0f - (mx + mn));
    float h;
    if (r == mx) h = (g - b) / range;
    else if (g == mx) h = (b - r) / range + 2.0f;
    else h = (r - g) / range + 4.0f;
    h *= 0.166667f;
    if (h < 0.0f) h += 1.0f;
    return {h * 360.0f, saturation, lightness};
}

// One channel from its hue position t (0..1) between the extremes p and q.
inline float hslChannel(float p, float q, float t) {
    if (t < 0.166667f) return p + (q - p) * 6.0f * t;
    if (t < 0.5f) return q;
    if (t < 0.666667f) return p + (0.666667f - t) * (q - p) * 6.0f;
    return p;
}

// HSL back to channels 0..1, written as r, g, b.
inline void fromHsl(const Hsl& c, float& r, float& g, float& b) {
    const float s = c.saturation, l = c.lightness;
    if (s == 0.0f) {
        r = g = b = l;
        return;
    }
    const float q = l < 0.5f ? (1.0f + s) * l : (s + l) - s * l;
    const float p = 2.0f * l - q;
    const float h = c.hue * 0.002778f;
    float tR = h + 0.333333f;
    if (tR > 1.0f) tR -= 1.0f;
    float tB = h - 0.333333f;
    if (tB < 0.0f) tB += 1.0f;
    r = hslChannel(p, q, tR);
    g = hslChannel(p, q, h);
    b = hslChannel(p, q, tB);
}

}  // namespace colour
