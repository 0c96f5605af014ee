#include "plugins/qorCommonFxPlugin/NLEVideoGenerator.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "compositing/BlendTables.h"
#include "framework/EffectParams.h"
#include "framework/FastMath.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"

using tessel::Frame;

namespace {

constexpr float kRadiansPerDegree = 0.017453292f;
// Distance between the two gradient anchors, in frame-fraction units.
constexpr double kAnchorDistance = 1.4;

// Byte of a BGRA pixel that serves as matte for a "channelChoose" value, or -1 for none.
int matteByte(int32_t channelChoose) {
    switch (channelChoose) {
    case 0: return 2;  // red
    case 1: return 1;  // green
    case 2: return 0;  // blue
    case 3: return 3;  // alpha
    default: return -1;
    }
}

// Colour bytes in BGRA order.
struct ColourBytes {
    uint8_t channel[3];
};

// A 0..1 colour component as a byte, truncated; components outside 0..1 saturate.
uint8_t componentByte(float component) {
    const float scaled = component * 255;
    return static_cast<uint8_t>(scaled > 0.0f ? (scaled < 255.0f ? scaled : 255.0f) : 0.0f);
}

ColourBytes colourBytes(float red, float green, float blue) {
    return {{componentByte(blue), componentByte(green), componentByte(red)}};
}

// Rounds to the nearest byte, ties to even, saturating (anything that is not a number gives 0).
// Adding and removing 2^52 rounds in the FPU's default round-to-nearest-even mode.
uint8_t roundToByte(double value) {
    const double clamped = value > 0.0 ? (value < 255.0 ? value : 255.0) : 0.0;
    return static_cast<uint8_t>((clamped + 0x1p52) - 0x1p52);
}

struct Point {
    float x, y;
};

// A gradient anchor 0.7 frame units from the frame centre in direction `radians`.
Point anchorAt(float radians) {
    return {static_cast<float>(0.5 + 0.7 * std::cos(radians)), static_cast<float>(0.5 + 0.7 * std::sin(radians))};
}

// (i / count - anchor)^2 for every pixel index i along one side of the frame.
std::vector<float> squaredOffsets(int count, float anchor) {
    std::vector<float> squares(count);
    for (int i = 0; i < count; ++i) {
        const float offset = static_cast<float>(i) / static_cast<float>(count) - anchor;
        squares[i] = offset * offset;
    }
    return squares;
}

// Solid colour: each output pixel is the colour premultiplied by its matte value.
void renderSolid(const Frame& in, const Frame& out, int matte, const ColourBytes& colour) {
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    uint8_t premultiplied[3][256];
    for (int k = 0; k < 3; ++k) {
        for (int s = 0; s < 256; ++s) premultiplied[k][s] = tables.mul(static_cast<uint8_t>(s), colour.channel[k]);
    }
    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* source = in.row(y);
            uint8_t* target = out.row(y);
            for (int x = 0; x < in.width; ++x, source += 4, target += 4) {
                const uint8_t s = source[matte];
                target[0] = premultiplied[0][s];
                target[1] = premultiplied[1][s];
                target[2] = premultiplied[2][s];
                target[3] = s;
            }
        }
    });
}

// Two-colour gradient: each pixel's colour weighs `first` by its distance to anchor A and `second`
// by its distance to anchor B (opposite A across the frame centre), then is premultiplied by the
// matte value.
void renderGradient(const Frame& in, const Frame& out, int matte, const ColourBytes& first, const ColourBytes& second,
                    float theta) {
    const Point anchorA = anchorAt(-theta * kRadiansPerDegree);
    const Point anchorB = anchorAt((-theta + 180) * kRadiansPerDegree);
    const std::vector<float> columnsA = squaredOffsets(in.width, anchorA.x);
    const std::vector<float> columnsB = squaredOffsets(in.width, anchorB.x);
    const std::vector<float> rowsA = squaredOffsets(in.height, anchorA.y);
    const std::vector<float> rowsB = squaredOffsets(in.height, anchorB.y);
    const imageC::BlendTables& tables = *imageC::getBlendTables();

    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        std::vector<uint8_t> gradient(static_cast<std::size_t>(in.width) * 3);
        for (int y = rows.start; y < rows.end; ++y) {
            for (int x = 0; x < in.width; ++x) {
                const double weightA = tessel::fastDistance(columnsA[x] + rowsA[y]) / kAnchorDistance;
                const double weightB = tessel::fastDistance(columnsB[x] + rowsB[y]) / kAnchorDistance;
                for (int k = 0; k < 3; ++k) {
                    gradient[x * 3 + k] = roundToByte(first.channel[k] * weightA + second.channel[k] * weightB);
                }
            }
            const uint8_t* source = in.row(y);
            uint8_t* target = out.row(y);
            for (int x = 0; x < in.width; ++x, source += 4, target += 4) {
                const uint8_t s = source[matte];
                target[0] = tables.mul(s, gradient[x * 3]);
                target[1] = tables.mul(s, gradient[x * 3 + 1]);
                target[2] = tables.mul(s, gradient[x * 3 + 2]);
                target[3] = s;
            }
        }
    });
}

}  // namespace

int32_t NLEVideoGenerator::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                     uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                     uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    // The input's size is the area written, so the output must hold all of it.
    if (!in.isValid() || !out.isValid() || !out.covers(in)) return 1;

    tessel::readParams(*this, {{"mode", &mode},
                               {"theta", &theta},
                               {"r0", &r0},
                               {"g0", &g0},
                               {"b0", &b0},
                               {"r1", &r1},
                               {"g1", &g1},
                               {"b1", &b1},
                               {"channelChoose", &channelChoose}});

    const int matte = matteByte(channelChoose);
    if (matte < 0) return 0;
    const ColourBytes first = colourBytes(r0, g0, b0);
    if (mode == 0) {
        renderSolid(in, out, matte, first);
    } else {
        renderGradient(in, out, matte, first, colourBytes(r1, g1, b1), theta);
    }
    return 0;
}
