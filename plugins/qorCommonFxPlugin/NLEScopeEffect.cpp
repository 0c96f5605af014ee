#include "plugins/qorCommonFxPlugin/NLEScopeEffect.h"

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

// One index per output pixel: inside the footprint the main input (opaque) is blended over the
// second input, outside the second input is copied.
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
    // True when the pixel maps back inside the main input.
    bool inFootprint(int x, int y) const {
        const double u = x - footprint_.x, v = y - footprint_.y;
        const double sx = inverse_(0, 0) * u + inverse_(0, 1) * v + inverse_(0, 2);
        const double sy = inverse_(1, 0) * u + inverse_(1, 1) * v + inverse_(1, 2);
        return 0 <= sx && sx < width_ && 0 <= sy && sy < height_;
    }

    void copySecond(int y, int begin, int end) const {
        if (end <= begin) return;
        std::memcpy(output_.row(y) + begin * 4, second_.row(y) + begin * 4, static_cast<std::size_t>(end - begin) * 4);
    }

    // Only pixels of the footprint rectangle, right and bottom edges included, are mapped back.
    void renderRow(int y, int begin, int end) const {
        if (y < footprint_.y || y > footprint_.y + footprint_.height) {
            copySecond(y, begin, end);
            return;
        }
        const int left = std::clamp(footprint_.x, begin, end);
        const int right = std::clamp(footprint_.x + footprint_.width + 1, left, end);
        copySecond(y, begin, left);
        const uint8_t* source = input_.row(y);
        const uint8_t* under = second_.row(y);
        uint8_t* target = output_.row(y);
        for (int x = left; x < right; ++x) {
            uint8_t pixel[4];
            std::memcpy(pixel, under + x * 4, 4);
            if (inFootprint(x, y)) {
                const uint8_t opaque[4] = {source[x * 4], source[x * 4 + 1], source[x * 4 + 2], 255};
                imageC::blendPixel(opaque, pixel, static_cast<uint32_t>(blendMode_), strength_, true);
            }
            std::memcpy(target + x * 4, pixel, 4);
        }
        copySecond(y, right, end);
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
    footprint.bounds = cv::Size(static_cast<int>(bw), static_cast<int>(bh));
    return footprint;
}

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

    tessel::readParams(*this, {{"Position_x", &positionX_},
                               {"Position_y", &positionY_},
                               {"Scale_x", &scaleX_},
                               {"Scale_y", &scaleY_},
                               {"Rotation", &rotation_},
                               {"BlendMode", &blendMode_},
                               {"Alpha", &alpha_}});

    const ScopeFootprint footprint = scopeFootprint(in.width, in.height, out.width, out.height, 0.5f, 0.5f, positionX_,
                                                    positionY_, -rotation_, scaleX_, scaleY_);
    cv::Mat forward = cv::Mat::eye(3, 3, CV_64F);
    cv::Mat(footprint.matrix).copyTo(forward.rowRange(0, 2));
    const cv::Mat inverse = forward.inv(cv::DECOMP_LU);

    const ParallelScope body(cv::Matx23d(inverse.rowRange(0, 2)), footprintRect(footprint.output), in, under, out,
                             blendMode_, strengthFromAlpha(alpha_));
    cv::parallel_for_(cv::Range(0, in.width * in.height), body);
    return 0;
}
