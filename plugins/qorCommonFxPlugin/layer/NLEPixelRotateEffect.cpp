#include "plugins/qorCommonFxPlugin/layer/NLEPixelRotateEffect.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include <opencv2/imgproc.hpp>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"

using tessel::Frame;

namespace {

// cv::flip codes.
constexpr int kFlipTopBottom = 0;
constexpr int kFlipLeftRight = 1;
constexpr int kFlipBoth = -1;

struct Orientation {
    bool transpose;  // swap rows and columns before flipping
    int flipCode;
};

// Indexed by "rotateType".
constexpr Orientation kOrientations[] = {
    {true, kFlipLeftRight},   // quarter turn clockwise
    {false, kFlipBoth},       // half turn
    {true, kFlipTopBottom},   // quarter turn counter-clockwise
    {false, kFlipLeftRight},  // mirror left-right
    {false, kFlipTopBottom},  // mirror top-bottom
};
constexpr int32_t kOrientationCount = sizeof(kOrientations) / sizeof(kOrientations[0]);

// A quarter turn moves pixels in blocks of 4 x 4 (four SSE registers transposed), a band of 8
// output rows at a time swept across the output: each input row then gives the band 32 bytes,
// and the next band finds the rest of that cache line still at hand. (Wider bands and square
// tiles measured slower at 3840 x 2160, where every input row lies on a page of its own.)
constexpr int kBlock = 4;
constexpr int kBandRows = 8;
// Rows per task of the flips.
constexpr int kFlipBandRows = 32;

// The input pixel that lands on output row r, column c of a quarter turn of `in`.
template <bool kClockwise>
const uint8_t* turnedSource(Frame in, int r, int c) {
    return kClockwise ? in.row(in.height - 1 - c) + r * Frame::kChannels
                      : in.row(c) + (in.width - 1 - r) * Frame::kChannels;
}

template <bool kClockwise>
void turnPixels(Frame in, Frame out, cv::Range rows, cv::Range cols) {
    for (int r = rows.start; r < rows.end; ++r) {
        uint8_t* d = out.row(r);
        for (int c = cols.start; c < cols.end; ++c)
            std::memcpy(d + c * Frame::kChannels, turnedSource<kClockwise>(in, r, c), Frame::kChannels);
    }
}

// Output rows r..r+3, columns c..c+3. Clockwise, output row r+j is input column r+j read upward
// from input row h-1-c; counter-clockwise, it is input column w-1-r-j read downward from row c.
// (The direction is a template argument so that the registers are picked at compile time.)
template <bool kClockwise>
void turnBlock(Frame in, Frame out, int r, int c) {
    const int firstColumn = kClockwise ? r : r + kBlock - 1;
    const auto load = [&](int k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(turnedSource<kClockwise>(in, firstColumn, c + k)));
    };
    const __m128i a0 = load(0), a1 = load(1), a2 = load(2), a3 = load(3);
    const __m128i t0 = _mm_unpacklo_epi32(a0, a1), t1 = _mm_unpacklo_epi32(a2, a3);
    const __m128i t2 = _mm_unpackhi_epi32(a0, a1), t3 = _mm_unpackhi_epi32(a2, a3);
    const auto store = [&](int j, __m128i v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out.row(r + (kClockwise ? j : kBlock - 1 - j)) +
                                                    c * Frame::kChannels),
                         v);
    };
    store(0, _mm_unpacklo_epi64(t0, t1));
    store(1, _mm_unpackhi_epi64(t0, t1));
    store(2, _mm_unpacklo_epi64(t2, t3));
    store(3, _mm_unpackhi_epi64(t2, t3));
}

// One band of output rows: whole blocks, then the columns and rows left over. The frames come by
// value: the stores through byte pointers could otherwise change a referenced frame's fields, and
// the compiler would read them again for every block.
template <bool kClockwise>
void turnBand(Frame in, Frame out, cv::Range rows) {
    const int blockRows = rows.start + (rows.size() / kBlock) * kBlock;
    const int blockCols = (out.width / kBlock) * kBlock;
    for (int c = 0; c < blockCols; c += kBlock)
        for (int r = rows.start; r < blockRows; r += kBlock) turnBlock<kClockwise>(in, out, r, c);
    turnPixels<kClockwise>(in, out, {rows.start, blockRows}, {blockCols, out.width});
    turnPixels<kClockwise>(in, out, {blockRows, rows.end}, {0, out.width});
}

// Writes the quarter turn of `in` into `out`, which is in.height wide and in.width high.
template <bool kClockwise>
void turnQuarter(const Frame& in, const Frame& out) {
    const int bands = (out.height + kBandRows - 1) / kBandRows;
    tessel::parallelRange(bands, -1, [&](const cv::Range& range) {
        for (int b = range.start; b < range.end; ++b)
            turnBand<kClockwise>(in, out, {b * kBandRows, std::min(out.height, (b + 1) * kBandRows)});
    });
}

// cv::flip of `in` into `out` (same size), in bands of rows. Output rows [a, b) come from input
// rows [a, b), or [h - b, h - a) when the flip turns the picture upside down.
void flipInBands(const Frame& in, const Frame& out, int flipCode) {
    const bool upsideDown = flipCode != kFlipLeftRight;
    const cv::Mat input = in.mat(), output = out.mat();
    const int bands = (out.height + kFlipBandRows - 1) / kFlipBandRows;
    tessel::parallelRange(bands, -1, [&](const cv::Range& range) {
        const int first = range.start * kFlipBandRows, last = std::min(out.height, range.end * kFlipBandRows);
        const cv::Range from = upsideDown ? cv::Range(in.height - last, in.height - first) : cv::Range(first, last);
        cv::Mat target = output.rowRange(first, last);
        cv::flip(input.rowRange(from), target, flipCode);
    });
}

Frame frameOf(cv::Mat& m) { return {m.data, m.cols, m.rows, static_cast<int32_t>(m.step[0])}; }

}  // namespace

const tessel::ParamTable<NLEPixelRotateEffect> NLEPixelRotateEffect::kParams{
    {"rotateType", &NLEPixelRotateEffect::rotateType_, 0}};

int32_t NLEPixelRotateEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                        uint8_t*, int32_t, int32_t, int32_t, uint8_t* src, int32_t srcWidth,
                                        int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame given{src, srcWidth, srcHeight, srcStride};
    // Any output size is fine: the turned picture is fitted to it.
    if (!out.isValid() || !given.isValid()) return 1;

    tessel::readParams(*this, kParams);
    if (rotateType_ < 0 || rotateType_ >= kOrientationCount) return 0;
    const Orientation& orientation = kOrientations[rotateType_];

    // Bands read rows that other bands write when the host renders in place.
    const Frame in = tessel::readableApart(given, out, inputCopy_);
    const cv::Size turnedSize = orientation.transpose ? cv::Size(in.height, in.width) : in.size();
    // A turned picture of the output's size is written straight into the output.
    const bool fits = turnedSize == out.size();
    if (!fits) turned_.create(turnedSize, CV_8UC4);
    const Frame target = fits ? out : frameOf(turned_);
    if (orientation.transpose) {
        if (orientation.flipCode == kFlipLeftRight) {
            turnQuarter<true>(in, target);
        } else {
            turnQuarter<false>(in, target);
        }
    } else {
        flipInBands(in, target, orientation.flipCode);
    }
    if (!fits) cv::resize(turned_, out.mat(), out.size(), 0, 0, cv::INTER_LINEAR);
    return 0;
}
