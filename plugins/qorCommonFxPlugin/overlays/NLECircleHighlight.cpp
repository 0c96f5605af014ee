#include "plugins/qorCommonFxPlugin/overlays/NLECircleHighlight.h"

#include <cmath>

#include "framework/EffectParams.h"
#include "framework/FastMath.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"
#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/overlays/CursorOverlay.h"

using tessel::Frame;

namespace {

// The disc of one frame, with its edges as fractions of the frame width: fully tinted inside
// `inner`, fading out with a smoothstep between `inner` and `outer`.
struct Disc {
    double inner;
    double outer;
    float halfBox;  // half-size of the box around the mouse that holds the disc, in pixels
    float opacity;  // 0..1
};

Disc prepareDisc(float radius, float softness, float opacity, int width) {
    const double r = radius * 0.25;
    const double s = softness * 0.2;
    Disc disc;
    disc.outer = (s + 1 + 0.01) * r;
    disc.inner = (1 - s - 0.01) * r;
    disc.halfBox = static_cast<float>(cursorOverlay::truncatedHalfBox(width * disc.outer));
    disc.opacity = static_cast<float>(cursorOverlay::clampUnit(opacity));
    return disc;
}

// Tint weight at `dist` (fraction of the width) from the mouse; 0 outside the disc.
double discWeight(const Disc& disc, float dist) {
    if (!(dist < disc.outer)) return 0.0;
    const double t = cursorOverlay::clampUnit((dist - disc.inner) / (disc.outer - disc.inner));
    return cursorOverlay::clampUnit((1 - (3 - 2 * t) * t * t) * disc.opacity);
}

}  // namespace

const tessel::ParamTable<NLECircleHighlight> NLECircleHighlight::kParams{
    {"Radius", &NLECircleHighlight::radius, 0.1f},
    {"ColorR", &NLECircleHighlight::colorR, 0},
    {"ColorG", &NLECircleHighlight::colorG, 255},
    {"ColorB", &NLECircleHighlight::colorB, 255},
    {"Opacity", &NLECircleHighlight::opacityValue, 0.7f},
    {"Softness", &NLECircleHighlight::softness, 0.1f},
    {"Enable", &NLECircleHighlight::enable, 1.0f},
    {"iMouseX", &NLECircleHighlight::mouseX, 500.0f},
    {"iMouseY", &NLECircleHighlight::mouseY, 500.0f}};

int32_t NLECircleHighlight::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                      uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                      int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                      int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (!out.canHold(in)) return 1;

    tessel::readParams(*this, kParams);

    tessel::copyPlane(in.data, out.data, in.width, in.height, in.stride, out.stride);
    if (!(enable > 0.5f) || !std::isfinite(mouseX) || !std::isfinite(mouseY)) return 0;

    const Disc disc = prepareDisc(radius, softness, opacityValue, in.width);
    // From mouse - R - 1 to mouse + R + 2 (exclusive, truncated): around a centre between pixels the
    // disc's last pixel right of or below it lies past mouse + R + 1. Pixels of the box outside the
    // disc are left as they are.
    const cv::Range rows = cursorOverlay::clipSpan(mouseY - disc.halfBox - 1, mouseY + disc.halfBox + 2, in.height);
    const cv::Range cols = cursorOverlay::clipSpan(mouseX - disc.halfBox - 1, mouseX + disc.halfBox + 2, in.width);
    const cursorOverlay::Colour colour{colorB, colorG, colorR};
    const auto width = static_cast<float>(in.width);

    tessel::parallelRange(rows.size(), cursorOverlay::boxStripes(rows, cols), [&](const cv::Range& band) {
        for (int y = rows.start + band.start; y < rows.start + band.end; ++y) {
            const float dy = static_cast<float>(y) - mouseY;
            uint8_t* pixel = out.row(y) + cols.start * Frame::kChannels;
            for (int x = cols.start; x < cols.end; ++x, pixel += Frame::kChannels) {
                const float dx = static_cast<float>(x) - mouseX;
                const float dist = tessel::fastDistance(dx * dx + dy * dy) / width;
                const double weight = discWeight(disc, dist);
                if (weight > 0.0) cursorOverlay::mixPixel(pixel, colour, weight);
            }
        }
    });
    return 0;
}
