#include "plugins/qorCommonFxPlugin/layer/NLEScopeEffect.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "compositing/BlendImage.h"
#include "framework/EffectParams.h"
#include "framework/Frame.h"

using tessel::Frame;

namespace {

constexpr double kPi = 3.141592653589793;

// The blend tables are indexed by 8-bit strengths: opacities outside 0..1 are clamped.
int32_t strengthFromAlpha(float alpha) {
    const float strength = alpha * 255.0f;
    if (!(strength > 0.0f)) return 0;
    if (strength >= 255.0f) return 255;
    return static_cast<int32_t>(strength);
}

// The footprint rectangle in whole pixels. A rectangle that is not finite (scales so large that
// the bounding box overflows) holds no pixel.
cv::Rect footprintRect(const cv::Rect2d& area) {
    if (!std::isfinite(area.x) || !std::isfinite(area.y) || !std::isfinite(area.width) ||
        !std::isfinite(area.height))
        return {0, 0, -1, -1};
    return {static_cast<int>(area.x + 0.5), static_cast<int>(area.y + 0.5), static_cast<int>(area.width),
            static_cast<int>(area.height)};
}

// A size truncated to an int, saturated to 0..INT_MAX: a scale or rotation that is not a number,
// infinite or huge makes the bounding box so.
int truncatedSize(double size) {
    if (!(size > 0)) return 0;
    return size < static_cast<double>(INT_MAX) ? static_cast<int>(size) : INT_MAX;
}

// A guess at a column, clamped into [lo, hi]; a guess that is not a number gives lo.
int columnNear(double guess, int lo, int hi) {
    if (!(guess > lo)) return lo;
    if (!(guess < hi)) return hi;
    return static_cast<int>(std::ceil(guess));
}

// The first column of (lo, hi) where `changed` holds, for a condition that is false at lo, true at
// hi - 1 and changes once. The search probes the columns around `guess` first: a guess within a
// pixel of the change brackets it, and bisection settles the rest either way.
template <class Changed>
int firstChange(int lo, int hi, int guess, const Changed& changed) {
    int below = lo, above = hi - 1;  // changed(below) is false, changed(above) true
    const auto probe = [&](int x) {
        if (x <= below || x >= above) return;
        (changed(x) ? above : below) = x;
    };
    probe(guess - 2);
    probe(guess + 1);
    while (above - below > 1) probe(below + (above - below) / 2);
    return above;
}

// The columns of [lo, hi) where `holds` is true, for a condition that changes at most once along
// the row; `guess` is where the change is expected.
template <class Holds>
cv::Range columnsWhere(int lo, int hi, double guess, const Holds& holds) {
    const bool first = holds(lo);
    if (holds(hi - 1) == first) return first ? cv::Range(lo, hi) : cv::Range(lo, lo);
    const int change = firstChange(lo, hi, columnNear(guess, lo, hi), [&](int x) { return holds(x) != first; });
    return first ? cv::Range(lo, change) : cv::Range(change, hi);
}

// Pixels of a footprint row are blended in pieces of this many, through a buffer on the stack.
constexpr int kBlendPiece = 256;

// `count` pixels with their alpha set to 255 (the high byte of a little-endian BGRA word).
void copyOpaque(const uint8_t* src, uint8_t* dst, int count) {
    for (int i = 0; i < count; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, src + 4 * i, 4);
        pixel |= 0xFF000000u;
        std::memcpy(dst + 4 * i, &pixel, 4);
    }
}

// One index per output pixel: inside the footprint the main input (opaque) is blended over the
// second input, outside the second input is copied. The work is done a row piece at a time.
class ParallelScope : public cv::ParallelLoopBody {
public:
    ParallelScope(const cv::Matx23d& inverse, const cv::Rect& footprint, const Frame& input, const Frame& second,
                  const Frame& output, int32_t blendMode, int32_t strength)
        : inverse_(inverse), width_(output.width), height_(output.height), footprint_(footprint), input_(input),
          second_(second), output_(output), blendMode_(blendMode), strength_(strength) {}

    void operator()(const cv::Range& range) const override {
        for (int i = range.start; i < range.end;) {
            const int y = i / width_, begin = i % width_;
            const int end = std::min(width_, begin + (range.end - i));
            renderRow(y, begin, end);
            i += end - begin;
        }
    }

private:
    // Where the inverse matrix maps output pixel (x, y), taken relative to the footprint
    // rectangle's corner: component 0 is the input column, 1 the input row.
    double mapBack(int component, int x, int y) const {
        const double u = x - footprint_.x, v = y - footprint_.y;
        return inverse_(component, 0) * u + inverse_(component, 1) * v + inverse_(component, 2);
    }

    // The columns of [begin, end) in row y whose pixels lie in the footprint rectangle (right and
    // bottom edges included) and map back inside the main input, decided by the very comparisons
    // of the mapped values that a single pixel's test makes. Along a row a mapped value is
    // (slope * u + a) + b in rounded steps, each monotonic, so each of the four comparisons changes
    // at most once: it is settled by probing columns, starting where the unrounded line meets its
    // limit, and the pixels inside are the columns where all four hold.
    cv::Range insideColumns(int y, int begin, int end) const {
        const int lo = std::clamp(footprint_.x, begin, end);
        const int hi = std::clamp(footprint_.x + footprint_.width + 1, lo, end);
        if (y < footprint_.y || y > footprint_.y + footprint_.height || lo == hi) return {begin, begin};
        cv::Range inside(lo, hi);
        const double v = y - footprint_.y;
        for (int component = 0; component < 2; ++component) {
            const double limit = component == 0 ? width_ : height_;
            const auto mapped = [&](int x) { return mapBack(component, x, y); };
            const double slope = inverse_(component, 0);
            const double offset = inverse_(component, 1) * v + inverse_(component, 2);
            const auto crossing = [&](double value) { return footprint_.x + (value - offset) / slope; };
            inside = inside & columnsWhere(lo, hi, crossing(0), [&](int x) { return 0 <= mapped(x); });
            inside = inside & columnsWhere(lo, hi, crossing(limit), [&](int x) { return mapped(x) < limit; });
        }
        return inside.empty() ? cv::Range(begin, begin) : inside;
    }

    // memmove: the output may be the second input itself.
    void copySecond(int y, int begin, int end) const {
        if (end <= begin) return;
        std::memmove(output_.row(y) + begin * 4, second_.row(y) + begin * 4, static_cast<std::size_t>(end - begin) * 4);
    }

    // The main input, made opaque, blended over the second input. Each piece of the input is read
    // before the output is written, so the output may also be the main input itself.
    void blendColumns(int y, const cv::Range& columns) const {
        uint8_t opaque[kBlendPiece * 4];
        for (int x = columns.start; x < columns.end; x += kBlendPiece) {
            const int count = std::min(kBlendPiece, columns.end - x);
            copyOpaque(input_.row(y) + x * 4, opaque, count);
            copySecond(y, x, x + count);
            imageC::blendPixelRow(opaque, output_.row(y) + x * 4, count, static_cast<uint32_t>(blendMode_), strength_,
                                  true);
        }
    }

    void renderRow(int y, int begin, int end) const {
        const cv::Range inside = insideColumns(y, begin, end);
        copySecond(y, begin, inside.start);
        blendColumns(y, inside);
        copySecond(y, inside.end, end);
    }

    cv::Matx23d inverse_;
    int width_, height_;
    cv::Rect footprint_;
    Frame input_, second_, output_;
    int32_t blendMode_;
    int32_t strength_;
};

}  // namespace

ScopeFootprint scopeFootprint(int w, int h, int W, int H, float anchorX, float anchorY, float positionX,
                              float positionY, double angle, double scaleX, double scaleY) {
    // Anchor and position are formed in single precision.
    const double ax = w * anchorX, ay = h * anchorY;
    const double px = W * positionX, py = H * positionY;
    const double theta = angle * kPi / 180;
    const double c = std::cos(theta), s = std::sin(theta);
    const double kx = scaleX, ky = scaleY;

    const double sw = std::abs(kx) * w, sh = std::abs(ky) * h;
    const double bw = std::abs(c) * sw + std::abs(s) * sh;
    const double bh = std::abs(c) * sh + std::abs(s) * sw;

    const double ox = anchorX * bw, oy = anchorY * bh;
    const double x0 = std::clamp(px - ox, 0.0, static_cast<double>(W));
    const double y0 = std::clamp(py - oy, 0.0, static_cast<double>(H));
    const double x1 = std::clamp(bw - ox + px, 0.0, static_cast<double>(W));
    const double y1 = std::clamp(bh - oy + py, 0.0, static_cast<double>(H));
    const double bx0 = std::clamp(ox - px, 0.0, bw);
    const double by0 = std::clamp(oy - py, 0.0, bh);

    ScopeFootprint footprint;
    // Turns and scales about the anchor, moves the anchor to its place in the bounding box, then
    // makes the coordinates relative to the visible part's corner.
    footprint.matrix = cv::Matx23d(c * kx, s * ky, (1 - c * kx) * ax - ay * ky * s + (bw / 2 - w / 2.0) - bx0,
                                   -s * kx, c * ky, ax * kx * s + (1 - c * ky) * ay + (bh / 2 - h / 2.0) - by0);
    footprint.output = cv::Rect2d(x0, y0, std::min(x1 - x0, W - x0), std::min(y1 - y0, H - y0));
    footprint.box = cv::Rect2d(bx0, by0, std::min(x1 - x0, bw - bx0), std::min(y1 - y0, bh - by0));
    footprint.bounds = cv::Size(truncatedSize(bw), truncatedSize(bh));
    return footprint;
}

const tessel::ParamTable<NLEScopeEffect> NLEScopeEffect::kParams{
    {"Position_x", &NLEScopeEffect::positionX_, 0.5f},
    {"Position_y", &NLEScopeEffect::positionY_, 0.5f},
    {"Scale_x", &NLEScopeEffect::scaleX_, 1.0f},
    {"Scale_y", &NLEScopeEffect::scaleY_, 1.0f},
    {"Rotation", &NLEScopeEffect::rotation_, 0.0f},
    {"BlendMode", &NLEScopeEffect::blendMode_, 0},
    {"Alpha", &NLEScopeEffect::alpha_, 1.0f}};

int32_t NLEScopeEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                  uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                  uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame under{second, secondWidth, secondHeight, secondStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    // The second input is read at every output pixel, so it must cover the output; the pixel index
    // range must fit an int.
    if (!out.isValid() || !under.isValid() || !in.isValid() || !in.sameSize(out) || !under.covers(out) ||
        static_cast<int64_t>(out.width) * out.height > INT_MAX)
        return 1;

    tessel::readParams(*this, kParams);

    const ScopeFootprint footprint = scopeFootprint(in.width, in.height, out.width, out.height, 0.5f, 0.5f, positionX_,
                                                    positionY_, -rotation_, scaleX_, scaleY_);
    cv::Mat forward(3, 3, CV_64F, cv::Scalar(0));
    cv::Mat(footprint.matrix).copyTo(forward.rowRange(0, 2));
    forward.at<double>(2, 2) = 1.0;
    cv::Mat inverse;
    cv::invert(forward, inverse, cv::DECOMP_LU);

    const ParallelScope body(cv::Matx23d(inverse.rowRange(0, 2)), footprintRect(footprint.output), in, under, out,
                             blendMode_, strengthFromAlpha(alpha_));
    cv::parallel_for_(cv::Range(0, in.width * in.height), body);
    return 0;
}
