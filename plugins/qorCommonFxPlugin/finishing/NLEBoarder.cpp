#include "plugins/qorCommonFxPlugin/finishing/NLEBoarder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "compositing/BlendTables.h"
#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"

using tessel::Frame;

namespace {

// A unit-range value as a byte, truncated; values outside 0..1 (or not numbers) are held to the
// byte range so that they cannot index past the 8-bit tables.
uint8_t unitToByte(float unit) {
    const double scaled = static_cast<double>(unit) * 255.0;
    if (!(scaled > 0.0)) return 0;
    return scaled >= 255.0 ? 255 : static_cast<uint8_t>(static_cast<int>(scaled));
}

// The band colour mixed over every input value, per colour channel: v * (1 - o) + colour * o.
struct BandShades {
    uint8_t channel[3][256];
};

BandShades prepareShades(const imageC::BlendTables& t, const uint8_t colour[3], uint8_t opacity) {
    BandShades shades{};
    for (int c = 0; c < 3; ++c) {
        const uint8_t tint = t.mul(colour[c], opacity);
        for (int v = 0; v < 256; ++v) {
            shades.channel[c][v] = static_cast<uint8_t>(t.mul(static_cast<uint8_t>(v), 255 - opacity) + tint);
        }
    }
    return shades;
}

void shadeRun(const BandShades& shades, const uint8_t* in, uint8_t* out, int pixels) {
    for (int x = 0; x < pixels; ++x, in += 4, out += 4) {
        out[0] = shades.channel[0][in[0]];
        out[1] = shades.channel[1][in[1]];
        out[2] = shades.channel[2][in[2]];
        out[3] = in[3];
    }
}

}  // namespace

cv::Range NLEBoarder::insideSpan(int length, double amp) {
    if (std::isnan(amp)) return {0, 0};
    const double first = std::max(std::ceil(amp), 0.0);
    const double last = std::min(std::trunc(length - amp), length - 1.0);
    if (first > last) return {0, 0};
    return {static_cast<int>(first), static_cast<int>(last) + 1};
}

const tessel::ParamTable<NLEBoarder> NLEBoarder::kParams{
    {"opacity", &NLEBoarder::opacity, 0.5f},
    {"amp", &NLEBoarder::amp, 1.0f},
    {"R", &NLEBoarder::red, 1.0f},
    {"G", &NLEBoarder::green, 0.0f},
    {"B", &NLEBoarder::blue, 0.0f}};

int32_t NLEBoarder::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                              int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src,
                              int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!out.canHold(in)) return 1;

    const uint8_t colour[3] = {unitToByte(blue), unitToByte(green), unitToByte(red)};
    const BandShades shades = prepareShades(*imageC::getBlendTables(), colour, unitToByte(opacity));
    const cv::Range insideRows = insideSpan(in.height, amp);
    const cv::Range insideColumns = insideSpan(in.width, amp);

    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* source = in.row(y);
            uint8_t* target = out.row(y);
            if (y < insideRows.start || y >= insideRows.end || insideColumns.empty()) {
                shadeRun(shades, source, target, in.width);
                continue;
            }
            const int left = insideColumns.start, right = insideColumns.end;
            shadeRun(shades, source, target, left);
            std::memcpy(target + 4 * left, source + 4 * left, 4 * static_cast<std::size_t>(right - left));
            shadeRun(shades, source + 4 * right, target + 4 * right, in.width - right);
        }
    });
    return 0;
}
