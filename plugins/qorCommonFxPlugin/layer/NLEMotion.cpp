#include "plugins/qorCommonFxPlugin/layer/NLEMotion.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>

#include <opencv2/imgproc.hpp>

#include "compositing/BlendImage.h"
#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"
#include "plugins/qorCommonFxPlugin/layer/AffineWarp.h"

namespace {

// The composite goes a band of rows at a time: the band's layer is warped into a buffer of its
// own (1 MB at 3840 wide), and the band's blend over the background follows while it is in
// cache. Narrower bands warp more slowly: a band's rows share the source lines they read.
constexpr int kCompositeBandRows = 64;
constexpr double kPi = 3.141592653589793;
// Angles closer to zero than this count as no rotation.
constexpr double kNoRotation = 1e-7;

// v truncated toward zero, held to +-1e9 (NaN gives -1e9) so that absurd placements convert
// safely: positions that far out lie off every canvas and sizes that large match no output.
int truncateToInt(double v) {
    constexpr double kLimit = 1e9;
    if (!(v > -kLimit)) return static_cast<int>(-kLimit);
    return static_cast<int>(std::min(v, kLimit));
}

// Cuts the clip rectangle to the clip: a negative origin moves to 0 and shortens the rectangle by
// as much, and a rectangle running past the far edge is shortened to end there.
void cutToUnitSquare(cv::Rect2d& r) {
    if (r.x < 0) {
        r.width += r.x;
        r.x = 0;
    }
    if (r.y < 0) {
        r.height += r.y;
        r.y = 0;
    }
    if (r.x + r.width > 1) r.width -= r.x + r.width - 1;
    if (r.y + r.height > 1) r.height -= r.y + r.height - 1;
}

// The affine map that scales the clip region (sw x sh pixels) to the window (windowWidth x
// windowHeight canvas pixels) and turns it by `angle` degrees about the centre of a W x H output.
cv::Mat layerTransform(double angle, double sw, double sh, double windowWidth, double windowHeight, cv::Size output) {
    const double theta = angle * kPi / 180;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double kx = windowWidth / sw;
    const double ky = windowHeight / sh;
    const double w = output.width;
    const double h = output.height;
    cv::Mat m(2, 3, CV_64F);
    m.at<double>(0, 0) = kx * c;
    m.at<double>(0, 1) = ky * s;
    m.at<double>(0, 2) = w / 2 - ky * (sh / 2) * s - kx * (sw / 2) * c;
    m.at<double>(1, 0) = -kx * s;
    m.at<double>(1, 1) = ky * c;
    m.at<double>(1, 2) = h / 2 + kx * (sw / 2) * s - ky * (sh / 2) * c;
    return m;
}

// "alpha" in percent, held to 0..100 (NaN counts as 0) so that the strength stays within 0..255.
float opacityFromPercent(float percent) {
    if (!(percent > 0.0f)) return 0.0f;
    return (percent < 100.0f ? percent : 100.0f) / 100.0f;
}

// The layer's rows `rows`: a view of a whole layer, or drawn into `scratch` (kCompositeBandRows x
// the output's width, CV_8UC4).
using LayerRows = std::function<cv::Mat(const cv::Range& rows, cv::Mat& scratch)>;

// Blends each band of the layer over the band of `background` (unless empty: the output already
// holds it) into `output`, reading the background once instead of copying it first. Every blend
// rule works pixel by pixel, so blending band by band gives the bytes of one blend over the whole
// output.
void compositeInBands(const cv::Mat& background, cv::Mat& output, const LayerRows& layerRows, uint32_t mode,
                      int strength, bool premultiplied) {
    const int bands = (output.rows + kCompositeBandRows - 1) / kCompositeBandRows;
    tessel::parallelRange(bands, -1, [&](const cv::Range& run) {
        // One buffer per run of bands. Not kept in thread-local storage: its destructor would pin
        // the module in memory after the host unloads it.
        cv::Mat scratch(kCompositeBandRows, output.cols, CV_8UC4);
        for (int b = run.start; b < run.end; ++b) {
            const cv::Range rows(b * kCompositeBandRows, std::min(output.rows, (b + 1) * kCompositeBandRows));
            cv::Mat outputRows = output.rowRange(rows);
            const cv::Mat base = background.empty() ? outputRows : background.rowRange(rows);
            imageC::blendImageOver(layerRows(rows, scratch), base, outputRows, mode, strength, premultiplied);
        }
    });
}

}  // namespace

void warpLayerToWindow(const cv::Mat& clip, const cv::Mat& canvas, cv::Mat& output, LayerPlacement& placement,
                       float angle, uint32_t mode, float opacity, int interpolation, bool premultiplied,
                       bool keepOutput) {
    if (clip.empty() || canvas.empty() || output.empty()) return;
    cv::Rect2d& r = placement.clip;
    cutToUnitSquare(r);

    const double sw = std::min<double>(clip.cols, clip.cols * r.width);
    const double sh = std::min<double>(clip.rows, clip.rows * r.height);
    const cv::Rect clipRegion(truncateToInt(std::max(0.0, clip.cols * r.x) + 0.5),
                              truncateToInt(std::max(0.0, clip.rows * r.y) + 0.5), truncateToInt(sw), truncateToInt(sh));
    const int strength = truncateToInt(opacity * 255.0f);

    const cv::Rect2d& win = placement.window;
    const cv::Rect window(truncateToInt(canvas.cols * win.x + 0.5), truncateToInt(canvas.rows * win.y + 0.5),
                          truncateToInt(canvas.cols * win.width), truncateToInt(canvas.rows * win.height));
    if (window.size() != output.size()) return;

    // The canvas region throws before anything is copied when the window reaches outside the canvas.
    const cv::Mat background = canvas(window);
    // A clip rectangle lying wholly outside the clip (or cut down to nothing) leaves only the
    // background.
    const bool nothingToPlace = r.x > 1 || r.y > 1 || clipRegion.width < 1 || clipRegion.height < 1;
    // A background sharing memory with the output cannot be copied band by band behind the blend.
    const bool copyWhole = !keepOutput && (nothingToPlace || sharesMemory(background, output));
    if (copyWhole) background.copyTo(output);
    if (nothingToPlace) return;
    const cv::Mat bandBackground = keepOutput || copyWhole ? cv::Mat() : background;
    const cv::Mat source = clip(clipRegion);

    cv::Mat layer;
    const bool onCanvas = (cv::Rect(0, 0, canvas.cols, canvas.rows) & window) == window;
    if (-kNoRotation < angle && angle < kNoRotation && onCanvas) {
        if (source.size() == window.size()) {
            layer = source;
        } else {
            cv::resize(source, layer, window.size(), 0, 0, interpolation);
        }
    } else {
        const cv::Mat m = layerTransform(angle, sw, sh, canvas.cols * win.width, canvas.rows * win.height, output.size());
        if (interpolation == cv::INTER_LINEAR) {
            // The turned clip is drawn band by band onto transparent black and blended at once.
            const AffineSampling sampling(m, output.cols);
            const LayerRows warped = [&](const cv::Range& rows, cv::Mat& scratch) {
                cv::Mat band = scratch.rowRange(0, rows.size());
                band.setTo(cv::Scalar::all(0));
                sampling.drawRows(source, band, rows.start);
                return band;
            };
            compositeInBands(bandBackground, output, warped, mode, strength, premultiplied);
            return;
        }
        layer = cv::Mat(output.size(), output.type(), cv::Scalar::all(0));
        cv::warpAffine(source, layer, m, output.size(), interpolation, cv::BORDER_TRANSPARENT);
    }
    compositeInBands(bandBackground, output, [&](const cv::Range& rows, cv::Mat&) { return layer.rowRange(rows); },
                     mode, strength, premultiplied);
}

const tessel::ParamTable<NLEMotion> NLEMotion::kParams{
    {"curPosX", &NLEMotion::curPosX_, 0.5f},
    {"curPosY", &NLEMotion::curPosY_, 0.5f},
    {"curRotate", &NLEMotion::curRotate_, 0.0f},
    {"curScaleX", &NLEMotion::curScaleX_, 1.0f},
    {"curScaleY", &NLEMotion::curScaleY_, 1.0f},
    {"mode", &NLEMotion::mode_, 0},
    {"alpha", &NLEMotion::alphaPercent_, 100.0f}};

int32_t NLEMotion::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                             int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src,
                             int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const tessel::Frame out{dst, dstWidth, dstHeight, dstStride};
    const tessel::Frame canvasFrame{second, secondWidth, secondHeight, secondStride};
    const tessel::Frame clipFrame{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || clipFrame.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!out.isValid() || !clipFrame.isValid()) return 1;
    // Without a canvas there is nothing to place the clip on: the output stays as it is.
    if (canvasFrame.empty()) return 0;
    if (!canvasFrame.isValid()) return 1;

    try {
        cv::Mat output = out.mat();
        LayerPlacement placement{{0, 0, 1, 1},
                                 {curPosX_ - curScaleX_ / 2, curPosY_ - curScaleY_ / 2, curScaleX_, curScaleY_}};
        const cv::Mat clip = tessel::readableApart(clipFrame, out, inputCopy_).mat();
        warpLayerToWindow(clip, canvasFrame.mat(), output, placement, -curRotate_,
                          static_cast<uint32_t>(mode_), opacityFromPercent(alphaPercent_), cv::INTER_LINEAR, false,
                          false);
    } catch (const std::exception&) {
        // cv::Exception (a window reaching outside the canvas) and allocation failures alike.
        return 1;
    }
    return 0;
}
