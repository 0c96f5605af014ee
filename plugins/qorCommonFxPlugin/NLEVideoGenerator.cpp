#include "plugins/qorCommonFxPlugin/NLEVideoGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "compositing/BlendTables.h"
#include "framework/EffectParams.h"
#include "framework/FastMath.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"

using tessel::Frame;
using ColourBytes = NLEVideoGenerator::ColourBytes;
using Gradient = NLEVideoGenerator::Gradient;

bool NLEVideoGenerator::ColourBytes::operator==(const ColourBytes& other) const {
    return std::equal(channel, channel + 3, other.channel);
}

bool NLEVideoGenerator::Gradient::matches(float angle, const ColourBytes& from, const ColourBytes& to, int columns,
                                          int rows) const {
    // Bitwise angle comparison: a NaN angle simply rebuilds every frame.
    return std::memcmp(&theta, &angle, sizeof angle) == 0 && first == from && second == to && width == columns &&
           height == rows && !planes.empty();
}

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

// A 0..1 colour component as a byte, truncated; components outside 0..1 saturate.
uint8_t componentByte(float component) {
    const float scaled = component * 255;
    return static_cast<uint8_t>(scaled > 0.0f ? (scaled < 255.0f ? scaled : 255.0f) : 0.0f);
}

ColourBytes colourBytes(float red, float green, float blue) {
    return {{componentByte(blue), componentByte(green), componentByte(red)}};
}

// Rounds to the nearest byte, ties to even, saturating (anything that is not a number gives 0).
// Adding and removing 2^52 rounds in the default round-to-nearest-even mode.
uint8_t roundToByte(double value) {
    const double clamped = std::min(std::max(0.0, value), 255.0);
    return static_cast<uint8_t>(static_cast<int32_t>((clamped + 0x1p52) - 0x1p52));
}

// One colour channel along a row: the bytes round(from * weightA + to * weightB), saturated.
void blendWeights(const double* weightA, const double* weightB, double from, double to, uint8_t* colour, int width) {
    int x = 0;
#if defined(__SSE2__)
    // The scalar rule four pixels at a time: the max/min clamp sends a NaN to 0 as roundToByte
    // does, the same 2^52 rounding follows, and truncation is exact on the rounded values.
    const __m128d fromWeight = _mm_set1_pd(from);
    const __m128d toWeight = _mm_set1_pd(to);
    const __m128d zero = _mm_setzero_pd();
    const __m128d maximum = _mm_set1_pd(255.0);
    const __m128d magic = _mm_set1_pd(0x1p52);
    const auto roundPair = [&](int at) {
        __m128d value = _mm_add_pd(_mm_mul_pd(fromWeight, _mm_loadu_pd(weightA + at)),
                                   _mm_mul_pd(toWeight, _mm_loadu_pd(weightB + at)));
        value = _mm_min_pd(_mm_max_pd(value, zero), maximum);
        return _mm_cvttpd_epi32(_mm_sub_pd(_mm_add_pd(value, magic), magic));
    };
    for (; x + 4 <= width; x += 4) {
        const __m128i quad = _mm_unpacklo_epi64(roundPair(x), roundPair(x + 2));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(quad, quad), _mm_setzero_si128());
        const int32_t packed = _mm_cvtsi128_si32(bytes);
        std::memcpy(colour + x, &packed, sizeof packed);
    }
#endif
    for (; x < width; ++x) colour[x] = roundToByte(from * weightA[x] + to * weightB[x]);
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

// Per-row scratch of the gradient build. Separate passes over plain arrays let the compiler
// vectorise the distances and weights.
struct GradientRow {
    explicit GradientRow(int width) : distanceA(width), distanceB(width), weightA(width), weightB(width) {}

    std::vector<float> distanceA, distanceB;
    std::vector<double> weightA, weightB;
};

// Each pixel's colour weighs the first colour by its distance to anchor A and the second by its
// distance to anchor B (opposite A across the frame centre), both in frame-fraction units.
void buildGradient(Gradient& gradient, float theta, const ColourBytes& first, const ColourBytes& second, int width,
                   int height) {
    gradient.theta = theta;
    gradient.first = first;
    gradient.second = second;
    gradient.width = width;
    gradient.height = height;
    gradient.planes.assign(static_cast<std::size_t>(width) * height * 3, 0);

    const Point anchorA = anchorAt(-theta * kRadiansPerDegree);
    const Point anchorB = anchorAt((-theta + 180) * kRadiansPerDegree);
    const std::vector<float> columnsA = squaredOffsets(width, anchorA.x);
    const std::vector<float> columnsB = squaredOffsets(width, anchorB.x);
    const std::vector<float> rowsA = squaredOffsets(height, anchorA.y);
    const std::vector<float> rowsB = squaredOffsets(height, anchorB.y);

    tessel::parallelRange(height, -1, [&](const cv::Range& rows) {
        GradientRow row(width);
        for (int y = rows.start; y < rows.end; ++y) {
            for (int x = 0; x < width; ++x) row.distanceA[x] = tessel::fastDistance(columnsA[x] + rowsA[y]);
            for (int x = 0; x < width; ++x) row.distanceB[x] = tessel::fastDistance(columnsB[x] + rowsB[y]);
            for (int x = 0; x < width; ++x) row.weightA[x] = row.distanceA[x] / kAnchorDistance;
            for (int x = 0; x < width; ++x) row.weightB[x] = row.distanceB[x] / kAnchorDistance;
            for (int k = 0; k < 3; ++k) {
                uint8_t* colour = gradient.plane(k) + static_cast<std::size_t>(y) * width;
                blendWeights(row.weightA.data(), row.weightB.data(), first.channel[k], second.channel[k], colour,
                             width);
            }
        }
    });
}

// Output pixel = gradient colour premultiplied by the matte value, with the matte as alpha.
void applyGradient(const Frame& in, const Frame& out, int matte, const Gradient& gradient) {
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const std::size_t offset = static_cast<std::size_t>(y) * in.width;
            const uint8_t* blue = gradient.plane(0) + offset;
            const uint8_t* green = gradient.plane(1) + offset;
            const uint8_t* red = gradient.plane(2) + offset;
            const uint8_t* source = in.row(y);
            uint8_t* target = out.row(y);
            for (int x = 0; x < in.width; ++x, source += 4, target += 4) {
                const uint8_t s = source[matte];
                target[0] = tables.mul(s, blue[x]);
                target[1] = tables.mul(s, green[x]);
                target[2] = tables.mul(s, red[x]);
                target[3] = s;
            }
        }
    });
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
        return 0;
    }
    const ColourBytes last = colourBytes(r1, g1, b1);
    if (!gradient_.matches(theta, first, last, in.width, in.height)) {
        buildGradient(gradient_, theta, first, last, in.width, in.height);
    }
    applyGradient(in, out, matte, gradient_);
    return 0;
}
