#include "plugins/qorCommonFxPlugin/beauty/NLEFaceBeautyEffect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "compositing/ByteArithmetic.h"
#include "framework/EffectParams.h"
#include "framework/Stripes.h"
#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/beauty/ColourTables.h"
#include "plugins/qorCommonFxPlugin/beauty/FaceBeautyBlend.h"

using tessel::Frame;

namespace {

constexpr double kSmallestLevel = 0.000001;
constexpr int kBlock = 16;         // the smoother works best on rows of whole 16-pixel blocks
constexpr int kMostCropped = 6;    // remainders up to this are cropped and smeared back

bool isBlack(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }
void copyColour(uint8_t* to, const uint8_t* from) { std::memcpy(to, from, 3); }

// Whether the first or last pixel of some row is black.
bool hasBlackEdgePixel(const Frame& in) {
    for (int y = 0; y < in.height; ++y) {
        if (isBlack(in.row(y)) || isBlack(in.row(y) + 4 * (in.width - 1))) return true;
    }
    return false;
}

// How the last columns of a row get their colour when the smoother did not produce them.
enum class Tail { None, RepeatLeft, Smear };

struct RowPlan {
    int direct;  // columns taken from the smoothed row
    Tail tail;
};

// Frames too narrow to align are not smoothed and keep their own colours. A width that is a
// multiple of 16 gets its last column from the one before it; a cropped remainder is smeared
// from the left over the last columns, starting two columns inside the smoothed width.
RowPlan rowPlan(int width) {
    const int aligned = NLEFaceBeautyEffect::alignedWidth(width);
    const int remainder = width % kBlock;
    if (aligned < kBlock) return {width, Tail::None};
    if (remainder == 0) return {width - 1, Tail::RepeatLeft};
    if (remainder <= kMostCropped) return {aligned - 2, Tail::Smear};
    return {width, Tail::None};
}

}  // namespace

int NLEFaceBeautyEffect::alignedWidth(int width) {
    const int remainder = width % kBlock;
    return remainder <= kMostCropped ? width - remainder : width + kBlock - remainder;
}

int NLEFaceBeautyEffect::smootherTasks() { return std::clamp(cv::getNumThreads(), 1, CRBFilterSSE2::kMaxTasks); }

// The lite descriptions name the levels "Smoothen", "Color" and "Whiten".
const tessel::ParamTable<NLEFaceBeautyEffect> NLEFaceBeautyEffect::kParams{
    {"smooth_lev", &NLEFaceBeautyEffect::smoothLevel, 50.0, "Smoothen"},
    {"color_lev", &NLEFaceBeautyEffect::colorLevel, 0.0, "Color"},
    {"white_lev", &NLEFaceBeautyEffect::whiteLevel, 0.0, "Whiten"}};

// The picture the smoother gets: the input itself when its width is whole blocks and no edge
// pixel needs repair, else the input cropped or padded to the aligned width, with black first and
// last columns repaired from their inner neighbours (black edge columns are typical of scaled
// video and would bleed into the smoothing).
cv::Mat NLEFaceBeautyEffect::alignedInput(const Frame& in) {
    const int width = alignedWidth(in.width);
    if (width == in.width && !hasBlackEdgePixel(in)) return in.mat();
    aligned.create(in.height, width, CV_8UC4);
    const int kept = std::min(width, in.width);
    tessel::parallelRange(in.height, beauty::kRowStripes, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* s = in.row(y);
            uint8_t* d = aligned.ptr<uint8_t>(y);
            std::memcpy(d, s, static_cast<std::size_t>(kept) * 4);
            const int last = in.width - 1;
            if (kept == in.width && isBlack(d + 4 * last)) copyColour(d + 4 * last, s + 4 * (last - 1));
            if (isBlack(d)) copyColour(d, s + 4);
            for (int x = kept; x < width; ++x) std::memcpy(d + 4 * x, d + 4 * last, 4);
        }
    });
    return aligned;
}

// The smoothed aligned picture, or a copy of the aligned picture when the smoother cannot take
// it (too small, too large, or a level that gives no usable sigmas). A copy, because the aligned
// picture may be the input, which the output may overwrite.
cv::Mat NLEFaceBeautyEffect::smooth(const cv::Mat& input) {
    const bool ready = smoother.init(input.cols, input.rows, smootherTasks(), true);
    if (ready) {
        if (smoothLevel == 0.0f) smoothLevel = 1.0f;
        const float s = smoothLevel;
        smoother.setSigmas(s / 200.0f, s / 2000.0f);
    }
    // The smoother reads and writes rows of one stride, the input's.
    smoothedRows.create(input.rows, static_cast<int>(input.step), CV_8UC1);
    const cv::Mat smoothed(input.size(), CV_8UC4, smoothedRows.data, input.step);
    const bool accepted = ready && smoother.filter(smoothed.data, input.data, input.cols, input.rows,
                                                   static_cast<int32_t>(input.step));
    smoother.flush();
    if (!accepted) input.copyTo(smoothed);
    return smoothed;
}

// Copies the smoothed colours back, lifts and whitens them, and lays them over the input by the
// input's alpha.
void NLEFaceBeautyEffect::finish(const Frame& in, const Frame& out, const cv::Mat& smooth) const {
    const RowPlan plan = rowPlan(in.width);
    const double colour = colorLevel >= 0.0f ? colorLevel / 10.0 : (0.0 - colorLevel) / 10.0;
    const int liftedChannel = colorLevel >= 0.0f ? 2 : 0;
    const beauty::ByteTable whiten = beauty::offsetTable(static_cast<double>(whiteLevel) * 0.25);
    const beauty::ByteTable raise = beauty::offsetTable(colour);
    beauty::ColourTables colourTables;
    for (int k = 0; k < 3; ++k) {
        for (int v = 0; v < 256; ++v) colourTables[k][v] = whiten[k == liftedChannel ? raise[v] : v];
    }
    const beauty::LiftTables lift(colourTables);
    const beauty::ColourTables& tables = lift.tables;
    const beauty::LayOver layOver = beauty::kLayOver.chosen();

    tessel::parallelRange(in.height, beauty::kRowStripes, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* s = in.row(y);
            const uint8_t* f = smooth.ptr<uint8_t>(y);
            uint8_t* o = out.row(y);
            uint8_t previous[3] = {};
            // Reads the input pixel before writing the output one, so that both may be the same.
            const auto put = [&](int x, const uint8_t* colour) {
                copyColour(previous, colour);
                const uint8_t* p = s + 4 * x;
                uint8_t* q = o + 4 * x;
                const uint8_t a = p[3];
                for (int k = 0; k < 3; ++k) {
                    q[k] = static_cast<uint8_t>(imageC::mul255(tables[k][previous[k]], a) +
                                                imageC::mul255(p[k], 255 - a));
                }
                q[3] = a;
            };
            layOver(s, f, o, plan.direct, lift);
            if (plan.direct > 0) copyColour(previous, f + 4 * (plan.direct - 1));
            for (int x = plan.direct; x < in.width; ++x) {
                uint8_t colour[3];
                if (plan.tail == Tail::RepeatLeft) {
                    copyColour(colour, previous);
                } else {
                    for (int k = 0; k < 3; ++k) {
                        const double v = std::nearbyint(0.8 * previous[k] + 0.2 * s[4 * x + k]);
                        colour[k] = static_cast<uint8_t>(std::min(v, 255.0));
                    }
                }
                put(x, colour);
            }
        }
    });
}

int32_t NLEFaceBeautyEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                       uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                       uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!in.matches(out)) return 1;

    if (std::abs(smoothLevel) < kSmallestLevel && std::abs(colorLevel) < kSmallestLevel &&
        std::abs(whiteLevel) < kSmallestLevel) {
        return tessel::copyFrame(in, out) ? 0 : 1;
    }
    try {
        if (alignedWidth(in.width) < kBlock) {
            finish(in, out, in.mat());
            return 0;
        }
        finish(in, out, smooth(alignedInput(in)));
    } catch (const cv::Exception&) {
        return 1;
    }
    return 0;
}
