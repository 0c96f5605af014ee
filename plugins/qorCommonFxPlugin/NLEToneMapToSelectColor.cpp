#include "plugins/qorCommonFxPlugin/NLEToneMapToSelectColor.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "compositing/BlendTables.h"
#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"

using tessel::Frame;

namespace {

// Per-frame lookups of the mix: the tone weighted by the strength for every grey value, and the
// input colour weighted by the rest, so that the pixel loop only adds and premultiplies.
struct ToneMix {
    uint32_t toneOfGrey[256];  // channel c in bits 8c..8c+7
    uint8_t inputShare[256];
};

// a * b / 255 rounded to nearest, as the multiply table holds it (a * b never lies halfway).
uint8_t multiplyRounded(int a, int b) {
    const int scaled = a * b + 128;
    return static_cast<uint8_t>((scaled + (scaled >> 8)) >> 8);
}

uint8_t channelOf(int32_t packed, int channel) { return static_cast<uint8_t>(packed >> (8 * channel)); }

ToneMix prepareMix(const imageC::BlendTables& t, int32_t dark, int32_t light, int strength, double greyMin,
                   double greyRange) {
    const uint8_t* add = t.table(imageC::BlendTables::Add);
    ToneMix mix{};
    for (int g = 0; g < 256; ++g) {
        // The 0.01 margin in the range keeps the position below 1: the brightest grey gets 254.
        const double position = std::clamp(g - greyMin, 0.0, 255.0) / greyRange;
        const auto u = static_cast<uint8_t>(static_cast<int>(static_cast<float>(position) * 255.0f));
        for (int c = 0; c < 3; ++c) {
            const uint8_t tone = add[t.mul(channelOf(dark, c), 255 - u) * 256 + t.mul(channelOf(light, c), u)];
            mix.toneOfGrey[g] |= static_cast<uint32_t>(t.mul(tone, static_cast<uint8_t>(strength))) << (8 * c);
        }
    }
    for (int v = 0; v < 256; ++v) mix.inputShare[v] = t.mul(static_cast<uint8_t>(v), static_cast<uint8_t>(255 - strength));
    return mix;
}

}  // namespace

int32_t NLEToneMapToSelectColor::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                           uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                           int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                           int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, {{"lightLuma", &lightLuma}, {"darkLuma", &darkLuma}, {"Strength", &strengthPercent}});
    if (!in.isValid() || !out.isValid() || !out.covers(in)) return 1;

    cv::cvtColor(in.mat(), grey, cv::COLOR_BGRA2GRAY);
    double greyMin = 0, greyMax = 0;
    cv::minMaxLoc(grey, &greyMin, &greyMax);
    // Percentages outside 0..100 would index past the 8-bit tables.
    const int strength = static_cast<int>(std::clamp(strengthPercent, 0, 100) / 100.0 * 255.0);
    const imageC::BlendTables& t = *imageC::getBlendTables();
    const ToneMix mix = prepareMix(t, darkLuma, lightLuma, strength, greyMin, greyMax - greyMin + 0.01);

    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* pixel = in.row(y);
            const uint8_t* greyRow = grey.ptr<uint8_t>(y);
            uint8_t* target = out.row(y);
            for (int x = 0; x < in.width; ++x, pixel += 4, target += 4) {
                const uint32_t tone = mix.toneOfGrey[greyRow[x]];
                const int alpha = pixel[3];
                for (int c = 0; c < 3; ++c) {
                    const int mixed = std::min(static_cast<int>(tone >> (8 * c) & 0xFF) + mix.inputShare[pixel[c]], 255);
                    target[c] = multiplyRounded(mixed, alpha);
                }
                target[3] = static_cast<uint8_t>(alpha);
            }
        }
    });
    return 0;
}
