// Sharpen, soften and the resize blur beside the nearest blurs and unsharp masks of libavfilter
// and OpenCV, on the astronaut picture. OpenCV works on our BGRA frames directly; libavfilter's
// blurs take planar gbrap (all four planes filtered, as ours filter alpha too) and unsharp takes
// yuv444p.

#include <array>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "bench/peers/PeerBench.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEResizeBlur.h"
#include "plugins/qorCommonFxPlugin/finishing/NLESharpenEffect.h"
#include "tests/support/EffectCalls.h"

namespace {

using peers::comparePair;
using peers::FilterGraph;

constexpr float kSharpenAmount = 50;
constexpr float kSoftenAmount = -50;
constexpr int kResizeReduction = 4;  // the resize blur prepares a reduction to a quarter of each side
constexpr int32_t kBoxType = 0, kGaussianType = 1;

// The Gaussian sigma with the variance of boxes of these widths run one after the other.
double equivalentSigma(const std::array<int, 3>& boxWidths) {
    double variance = 0;
    for (int width : boxWidths) variance += (width * width - 1) / 12.0;
    return std::sqrt(variance);
}

// The radius of the one box (2r + 1 wide) closest in variance to a Gaussian of `sigma`.
int boxRadiusFor(double sigma) { return static_cast<int>(std::lround((std::sqrt(12 * sigma * sigma + 1) - 1) / 2)); }

// Sharpen at 50: an unsharp mask of the luma with a Gaussian of sigma 2 and gain 1 (amount / 50),
// then a slight contrast lift. unsharp's luma mask of n x n runs (n - 1) / 2 binomial [1 2 1]
// passes per axis, variance 0.5 each; 13 x 13 (variance 3, sigma 1.73) is the widest it takes,
// the nearest to sigma 2. Amount 1, chroma left alone.
void compareSharpen(const peers::FrameSize& size, const cv::Mat& in, const cv::Mat& out) {
    auto sharpen = qortest::makeEffect<NLESharpenEffect>();
    qortest::setFloat(*sharpen, "amount", kSharpenAmount);
    FilterGraph unsharp("unsharp", "luma_msize_x=13:luma_msize_y=13:luma_amount=1:chroma_amount=0",
                        AV_PIX_FMT_YUV444P, {in});
    comparePair("sharpen/ffmpeg-unsharp", size, [&] { peers::render(*sharpen, out, cv::Mat(), in); },
                [&] { unsharp.filterFrame(); });
}

// Soften (a negative amount) is three box passes of widths that follow from the amount and the
// frame size. The peers get the same blur: OpenCV the same three boxes and the Gaussian of equal
// variance; libavfilter that Gaussian (gblur) and the single box of nearest variance (avgblur).
void compareSoften(const peers::FrameSize& size, const cv::Mat& in, const cv::Mat& out) {
    auto soften = qortest::makeEffect<NLESharpenEffect>();
    qortest::setFloat(*soften, "amount", kSoftenAmount);
    const auto ours = [&] { peers::render(*soften, out, cv::Mat(), in); };
    const std::array<int, 3> boxes =
        NLESharpenEffect::softenBoxSizes(NLESharpenEffect::softenKernelSize(kSoftenAmount, in.cols, in.rows));
    const double sigma = equivalentSigma(boxes);
    const int radius = boxRadiusFor(sigma);

    cv::Mat scratch1, scratch2, target;
    comparePair("soften/opencv-box", size, ours, [&] {
        cv::blur(in, scratch1, {boxes[0], boxes[0]});
        cv::blur(scratch1, scratch2, {boxes[1], boxes[1]});
        cv::blur(scratch2, target, {boxes[2], boxes[2]});
    });
    comparePair("soften/opencv-gaussian", size, ours, [&] { cv::GaussianBlur(in, target, {0, 0}, sigma); });
    FilterGraph gblur("gblur", "sigma=" + std::to_string(sigma), AV_PIX_FMT_GBRAP, {in});
    comparePair("soften/ffmpeg-gblur", size, ours, [&] { gblur.filterFrame(); });
    FilterGraph avgblur("avgblur", "sizeX=" + std::to_string(radius), AV_PIX_FMT_GBRAP, {in});
    comparePair("soften/ffmpeg-avgblur", size, ours, [&] { avgblur.filterFrame(); });
}

// The resize blur before a reduction to a quarter: a box or a Gaussian of 2r + 1 pixels (r = 2
// here), sigma chosen by OpenCV from the size (0.3 * (r - 1) + 0.8) for the Gaussian. The peers
// get the same box and Gaussian.
void compareResizeBlur(const peers::FrameSize& size, const cv::Mat& in, const cv::Mat& out) {
    const int radius = NLEResizeBlur::blurRadius(static_cast<int64_t>(in.total()), in.cols / kResizeReduction,
                                                 in.rows / kResizeReduction, NLEResizeBlur::kMaxKernelRadius);
    const int width = 2 * radius + 1;
    const double sigma = 0.3 * (radius - 1) + 0.8;
    auto resizeBlur = qortest::makeEffect<NLEResizeBlur>();
    qortest::setInts(*resizeBlur, {{"destImageWidth", in.cols / kResizeReduction},
                                   {"destImageHeight", in.rows / kResizeReduction},
                                   {"kernelMaxRadius", NLEResizeBlur::kMaxKernelRadius}});
    const auto ours = [&] { peers::render(*resizeBlur, out, cv::Mat(), in); };
    cv::Mat target;

    qortest::setInt(*resizeBlur, "resizeBlurType", kBoxType);
    comparePair("resize-blur-box/opencv-box", size, ours, [&] { cv::blur(in, target, {width, width}); });
    FilterGraph avgblur("avgblur", "sizeX=" + std::to_string(radius), AV_PIX_FMT_GBRAP, {in});
    comparePair("resize-blur-box/ffmpeg-avgblur", size, ours, [&] { avgblur.filterFrame(); });

    qortest::setInt(*resizeBlur, "resizeBlurType", kGaussianType);
    comparePair("resize-blur-gaussian/opencv-gaussian", size, ours,
                [&] { cv::GaussianBlur(in, target, {width, width}, 0); });
    FilterGraph gblur("gblur", "sigma=" + std::to_string(sigma), AV_PIX_FMT_GBRAP, {in});
    comparePair("resize-blur-gaussian/ffmpeg-gblur", size, ours, [&] { gblur.filterFrame(); });
}

void compareAt(const peers::FrameSize& size) {
    const cv::Mat in = peers::picture("astronaut.png", {size.width, size.height});
    const cv::Mat out(in.size(), CV_8UC4);
    compareSharpen(size, in, out);
    compareSoften(size, in, out);
    compareResizeBlur(size, in, out);
}

}  // namespace

int main() { return peers::runComparisons(compareAt); }
