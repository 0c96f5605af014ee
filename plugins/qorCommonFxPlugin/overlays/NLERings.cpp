#include "plugins/qorCommonFxPlugin/overlays/NLERings.h"

#include <algorithm>
#include <cmath>

#include "framework/EffectParams.h"
#include "framework/FastMath.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"
#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/overlays/CursorOverlay.h"

using tessel::Frame;

namespace {

constexpr float kTwoPi = 6.2831855f;

// The ripple pattern of one frame. Distances are in units of 1/scale of the larger frame side;
// the pattern lies inside `outerRadius` and fades out from `innerRadius` on.
struct Ripples {
    double scale;
    double waveLength1;
    double waveLength2;
    double amplitude1;  // strengths of the two patterns; both 0 at progress 0 and 1
    double amplitude2;
    float outerRadius;
    float innerRadius;
    double opacity;
    double halfBox;  // half-size in pixels of the box around the mouse that holds the pattern
};

Ripples prepareRipples(float radius, float process, float opacity, int largerSide) {
    Ripples ripples;
    const double q = radius / 1.2;
    ripples.waveLength1 = process * 0.1 + 0.1;
    ripples.waveLength2 = process * 0.3 + 0.1;
    ripples.outerRadius = static_cast<float>(ripples.waveLength2 * kTwoPi * 1.2);
    ripples.innerRadius = static_cast<float>(ripples.waveLength2 * kTwoPi * 0.8);
    ripples.scale = 100 / (q + 0.01);
    // The two strengths are the same curve run forwards and backwards in time.
    const double rise = ((1 - process) * 1.34 + 1) * ((1 - process) * 1.34);
    const double fall = (process * 1.34 + 1) * (process * 1.34);
    const bool animating = process > 0.0f && process < 1.0f;
    ripples.amplitude1 = animating ? std::sin(rise) : 0.0;
    ripples.amplitude2 = animating ? std::sin(fall) : 0.0;
    ripples.opacity = opacity + 0.2;
    // The pattern's radius in pixels. Distances are in units of the larger frame side, so the box is
    // measured on it too (on the width alone a portrait frame would cut the rings square).
    ripples.halfBox =
        cursorOverlay::truncatedHalfBox(ripples.outerRadius * (q + 0.01) * 0.01 * static_cast<float>(largerSide));
    return ripples;
}

// Tint weight at `dist` from the mouse; 0 outside the pattern.
double rippleWeight(const Ripples& ripples, double dist) {
    if (!(dist < ripples.outerRadius)) return 0.0;
    const double t = cursorOverlay::clampUnit((dist - ripples.innerRadius) /
                                              (ripples.outerRadius - ripples.innerRadius));
    const double fade = 1 - (3 - 2 * t) * t * t;
    const double wave = cursorOverlay::clampUnit((std::cos(dist / ripples.waveLength1) - 0.1) * ripples.amplitude1) +
                        cursorOverlay::clampUnit((std::cos(dist / ripples.waveLength2) - 0.1) * ripples.amplitude2);
    return fade * cursorOverlay::clampUnit(wave * ripples.opacity);
}

}  // namespace

const tessel::ParamTable<NLERings> NLERings::kParams{
    {"Opacity", &NLERings::opacityValue, 0.7f},
    {"Duration", &NLERings::duration, 0.5f},
    {"Enable", &NLERings::enable, 1.0f},
    {"Radius", &NLERings::radius, 1.0f},
    {"ColorR", &NLERings::colorR, 0},
    {"ColorG", &NLERings::colorG, 255},
    {"ColorB", &NLERings::colorB, 255},
    {"iMouseX", &NLERings::mouseX, 500.0f},
    {"iMouseY", &NLERings::mouseY, 500.0f},
    {"Clicked", &NLERings::clicked, 1.0f},
    {"Process", &NLERings::process, 1.0f}};

int32_t NLERings::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                            int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src,
                            int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (!out.canHold(in)) return 1;

    tessel::readParams(*this, kParams);

    tessel::copyPlane(in.data, out.data, in.width, in.height, in.stride, out.stride);
    if (!(enable > 0.5f) || !(clicked > 0.5f) || !std::isfinite(mouseX) || !std::isfinite(mouseY)) return 0;

    const int largerSide = std::max(in.width, in.height);
    const Ripples ripples = prepareRipples(radius, process, opacityValue, largerSide);
    if (ripples.amplitude1 == 0.0 && ripples.amplitude2 == 0.0) return 0;

    // The centre is the mouse position truncated to whole pixels.
    const double centreX = std::trunc(mouseX);
    const double centreY = std::trunc(mouseY);
    const cv::Range rows = cursorOverlay::clipSpan(centreY - ripples.halfBox - 1, centreY + 1 + ripples.halfBox,
                                                   in.height);
    const cv::Range cols = cursorOverlay::clipSpan(centreX - ripples.halfBox - 1, centreX + 1 + ripples.halfBox,
                                                   in.width);
    const cursorOverlay::Colour colour{colorB, colorG, colorR};

    tessel::parallelRange(rows.size(), cursorOverlay::boxStripes(rows, cols), [&](const cv::Range& band) {
        for (int y = rows.start + band.start; y < rows.start + band.end; ++y) {
            const double dy = y - centreY;
            uint8_t* pixel = out.row(y) + cols.start * Frame::kChannels;
            for (int x = cols.start; x < cols.end; ++x, pixel += Frame::kChannels) {
                const double dx = x - centreX;
                const float d2 = static_cast<float>(dx * dx + dy * dy);
                const double dist = tessel::fastDistance(d2) / static_cast<float>(largerSide) * ripples.scale;
                const double weight = rippleWeight(ripples, dist);
                if (weight > 0.0) cursorOverlay::mixPixel(pixel, colour, weight);
            }
        }
    });
    return 0;
}
