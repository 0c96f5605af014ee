#include "plugins/qorCommonFxPlugin/overlays/NLEVideoGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <opencv2/core/hal/intrin.hpp>

#include "compositing/BlendTables.h"
#include "compositing/ByteArithmetic.h"
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
           height == rows && !pixels.empty();
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

// One row of gradient pixels: colour byte k is round(first[k] * weightA + second[k] * weightB),
// saturated, and alpha is 255.
void gradientRow(const double* weightA, const double* weightB, const ColourBytes& first, const ColourBytes& second,
                 uint8_t* pixels, int width) {
    int x = 0;
#if CV_SIMD128_64F
    // Sixteen pixels at a time: the max/min clamp sends a NaN to 0 as roundToByte does, and the
    // vector conversion rounds to nearest, ties to even, like the 2^52 step.
    const cv::v_float64x2 zero = cv::v_setzero_f64();
    const cv::v_float64x2 maximum = cv::v_setall_f64(255.0);
    const cv::v_uint8x16 opaque = cv::v_setall_u8(255);
    for (; x + 16 <= width; x += 16) {
        cv::v_uint8x16 channel[3];
        for (int k = 0; k < 3; ++k) {
            const cv::v_float64x2 from = cv::v_setall_f64(first.channel[k]);
            const cv::v_float64x2 to = cv::v_setall_f64(second.channel[k]);
            const auto clampedPair = [&](int at) {
                const cv::v_float64x2 value = from * cv::v_load(weightA + at) + to * cv::v_load(weightB + at);
                return cv::v_min(cv::v_max(value, zero), maximum);
            };
            const auto roundEight = [&](int at) {
                return cv::v_pack(cv::v_round(clampedPair(at), clampedPair(at + 2)),
                                  cv::v_round(clampedPair(at + 4), clampedPair(at + 6)));
            };
            channel[k] = cv::v_pack_u(roundEight(x), roundEight(x + 8));
        }
        cv::v_store_interleave(pixels + x * 4, channel[0], channel[1], channel[2], opaque);
    }
#endif
    for (; x < width; ++x) {
        for (int k = 0; k < 3; ++k) {
            pixels[x * 4 + k] = roundToByte(first.channel[k] * weightA[x] + second.channel[k] * weightB[x]);
        }
        pixels[x * 4 + 3] = 255;
    }
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

// Per-row scratch of the gradient build: each pixel's weights for the two colours. Plain arrays
// filled in separate passes let the compiler vectorise the distances.
struct GradientWeights {
    explicit GradientWeights(int width) : weightA(width), weightB(width) {}

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
    gradient.pixels.resize(static_cast<std::size_t>(width) * height * 4);

    const Point anchorA = anchorAt(-theta * kRadiansPerDegree);
    const Point anchorB = anchorAt((-theta + 180) * kRadiansPerDegree);
    const std::vector<float> columnsA = squaredOffsets(width, anchorA.x);
    const std::vector<float> columnsB = squaredOffsets(width, anchorB.x);
    const std::vector<float> rowsA = squaredOffsets(height, anchorA.y);
    const std::vector<float> rowsB = squaredOffsets(height, anchorB.y);

    tessel::parallelRange(height, -1, [&](const cv::Range& rows) {
        GradientWeights row(width);
        for (int y = rows.start; y < rows.end; ++y) {
            for (int x = 0; x < width; ++x) {
                row.weightA[x] = tessel::fastDistance(columnsA[x] + rowsA[y]) / kAnchorDistance;
            }
            for (int x = 0; x < width; ++x) {
                row.weightB[x] = tessel::fastDistance(columnsB[x] + rowsB[y]) / kAnchorDistance;
            }
            gradientRow(row.weightA.data(), row.weightB.data(), first, second, gradient.row(y), width);
        }
    });
}

// One output row: each colour pixel (alpha 255) multiplied by the matte byte `Matte` of the input
// pixel, so the colour is premultiplied by the matte and the alpha becomes the matte itself
// (mul(255, s) = s).
template <int Matte>
void premultiplyRow(const uint8_t* source, const uint8_t* colours, uint8_t* target, int width,
                    const imageC::BlendTables& tables) {
    int x = 0;
    const auto matteLanes = [](const imageC::PixelLanes& p) {
        const cv::v_uint64x2 s = (cv::v_reinterpret_as_u64(p) >> (16 * Matte)) & cv::v_setall_u64(0xFF);
        return cv::v_reinterpret_as_u16(s | (s << 16) | (s << 32) | (s << 48));
    };
    for (; x + 4 <= width; x += 4) {
        const imageC::FourPixels matte = imageC::loadFourPixels(source + x * 4);
        imageC::FourPixels colour = imageC::loadFourPixels(colours + x * 4);
        colour.first = imageC::mul255(colour.first, matteLanes(matte.first));
        colour.second = imageC::mul255(colour.second, matteLanes(matte.second));
        imageC::storeFourPixels(target + x * 4, colour);
    }
    for (; x < width; ++x) {
        const uint8_t s = source[x * 4 + Matte];
        for (int k = 0; k < 4; ++k) target[x * 4 + k] = tables.mul(s, colours[x * 4 + k]);
    }
}

using PremultiplyRow = void (*)(const uint8_t*, const uint8_t*, uint8_t*, int, const imageC::BlendTables&);

PremultiplyRow premultiplyRowFor(int matte) {
    switch (matte) {
    case 0: return premultiplyRow<0>;
    case 1: return premultiplyRow<1>;
    case 2: return premultiplyRow<2>;
    default: return premultiplyRow<3>;
    }
}

// Output pixel = colour premultiplied by the matte byte, with the matte as alpha. `colourRow(y)`
// gives the BGRA colours (alpha 255) of row y.
template <typename ColourRow>
void applyMatte(const Frame& in, const Frame& out, int matte, const ColourRow& colourRow) {
    const imageC::BlendTables& tables = *imageC::getBlendTables();
    const PremultiplyRow premultiply = premultiplyRowFor(matte);
    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) premultiply(in.row(y), colourRow(y), out.row(y), in.width, tables);
    });
}

// A row of `width` pixels of one opaque colour.
std::vector<uint8_t> solidRow(const ColourBytes& colour, int width) {
    std::vector<uint8_t> row(static_cast<std::size_t>(width) * 4);
    for (int x = 0; x < width; ++x) {
        std::copy(colour.channel, colour.channel + 3, row.begin() + x * 4);
        row[x * 4 + 3] = 255;
    }
    return row;
}

}  // namespace

const tessel::ParamTable<NLEVideoGenerator> NLEVideoGenerator::kParams{
    {"mode", &NLEVideoGenerator::mode, 0},
    {"theta", &NLEVideoGenerator::theta, 0.0f},
    {"r0", &NLEVideoGenerator::r0, 0.0f},
    {"g0", &NLEVideoGenerator::g0, 0.0f},
    {"b0", &NLEVideoGenerator::b0, 0.0f},
    {"r1", &NLEVideoGenerator::r1, 0.0f},
    {"g1", &NLEVideoGenerator::g1, 0.0f},
    {"b1", &NLEVideoGenerator::b1, 0.0f},
    {"channelChoose", &NLEVideoGenerator::channelChoose, 0}};

int32_t NLEVideoGenerator::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                     uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                     uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    // The input's size is the area written, so the output must hold all of it.
    if (!out.canHold(in)) return 1;

    tessel::readParams(*this, kParams);

    const int matte = matteByte(channelChoose);
    if (matte < 0) return 0;
    const ColourBytes first = colourBytes(r0, g0, b0);
    if (mode == 0) {
        const std::vector<uint8_t> colours = solidRow(first, in.width);
        applyMatte(in, out, matte, [&](int) { return colours.data(); });
        return 0;
    }
    const ColourBytes last = colourBytes(r1, g1, b1);
    if (!gradient_.matches(theta, first, last, in.width, in.height)) {
        buildGradient(gradient_, theta, first, last, in.width, in.height);
    }
    applyMatte(in, out, matte, [&](int y) { return gradient_.row(y); });
    return 0;
}
