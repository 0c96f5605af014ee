#include "plugins/qorCommonFxPlugin/finishing/NLEResizeBlur.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/Stripes.h"
#include "framework/copyPlane.h"
#include "plugins/qorCommonFxPlugin/finishing/BoxBlurChain.h"
#include "plugins/qorCommonFxPlugin/finishing/GaussianBandBlur.h"

using tessel::Frame;

namespace {

constexpr int kBands = 8;
constexpr int kGaussianBlur = 1;

// Blurs one horizontal band of the output from the same rows of the input. The band regions keep
// their place in the whole frames, so the filter reads the neighbouring rows across band seams.
class Parallel_process : public cv::ParallelLoopBody {
public:
    Parallel_process(const cv::Mat& in, cv::Mat& out, int blurType, int kernelSize)
        : in_(in), out_(out), blurType_(blurType), kernelSize_(kernelSize) {}

    void operator()(const cv::Range& bands) const override {
        for (int i = bands.start; i < bands.end; ++i) {
            const cv::Range rows = tessel::stripeRows(i, out_.rows, kBands);
            if (rows.empty()) continue;
            const cv::Rect band(0, rows.start, out_.cols, rows.size());
            cv::Mat target = out_(band);
            const cv::Size kernel(kernelSize_, kernelSize_);
            if (blurType_ == kGaussianBlur) {
                cv::GaussianBlur(in_(band), target, kernel, 0, 0, cv::BORDER_REFLECT_101);
            } else {
                cv::blur(in_(band), target, kernel, cv::Point(-1, -1), cv::BORDER_REFLECT_101);
            }
        }
    }

private:
    const cv::Mat& in_;
    cv::Mat& out_;
    int blurType_;
    int kernelSize_;
};

// Wide Gaussian kernels on frames of at least one row per band: every band is a region of the
// frame, filtered in float, which the dispatched band blur repeats exactly. Its result does not
// depend on the split, so it runs in one band per thread, which recomputes fewer rows at seams.
bool blursInFloatBands(int blurType, int kernelSize, int rows) {
    return blurType == kGaussianBlur && rows >= kBands && kernelSize >= finishing::kNarrowestTiledGaussian &&
           finishing::gaussianBandRunsInFloat(kernelSize);
}

// Narrow Gaussian kernels on such frames: every band is a region filtered in integers, which the
// dispatched integer blur repeats exactly; it too does not depend on the split.
bool blursInIntegerBands(int blurType, int kernelSize, const cv::Mat& in) {
    return blurType == kGaussianBlur && in.rows >= kBands && kernelSize / 2 < in.cols &&
           finishing::gaussianBandFitsSixteenBits(kernelSize);
}

// Box kernels the banded box chain sums in 16 bits: the box of a band region rounds its exact
// mean as the whole frame's does, so one chained box over the frame gives the same bytes.
bool blursWithNarrowBox(int blurType, int kernelSize, const cv::Mat& in) {
    return blurType != kGaussianBlur && kernelSize <= finishing::kWidestNarrowBox &&
           kernelSize / 2 < std::min(in.rows, in.cols);
}

}  // namespace

int NLEResizeBlur::blurRadius(int64_t sourceArea, int32_t destWidth, int32_t destHeight, int32_t maxRadius) {
    // An unknown (zero) or meaningless (negative) target area asks for no blur.
    const int64_t destArea = static_cast<int64_t>(destWidth) * destHeight;
    if (destArea <= 0) return 0;
    int radius = 0;
    // sourceArea >= 4 * destArea, without forming the product, which overflows for huge sizes.
    if (destArea <= sourceArea / 4) {
        radius = static_cast<int>(std::sqrt(static_cast<double>(sourceArea) / static_cast<double>(destArea))) >> 1;
    }
    return std::min({radius, maxRadius, kMaxKernelRadius});
}

const tessel::ParamTable<NLEResizeBlur> NLEResizeBlur::kParams{
    {"destImageWidth", &NLEResizeBlur::destImageWidth, 0},
    {"destImageHeight", &NLEResizeBlur::destImageHeight, 0},
    {"resizeBlurType", &NLEResizeBlur::resizeBlurType, 0},
    {"kernelMaxRadius", &NLEResizeBlur::kernelMaxRadius, 1}};

int32_t NLEResizeBlur::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                 uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                 uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || in.empty()) return 1;
    tessel::readParams(*this, kParams);
    if (!out.canHold(in)) return 1;

    const int64_t sourceArea = static_cast<int64_t>(in.width) * in.height;
    const int radius = blurRadius(sourceArea, destImageWidth, destImageHeight, kernelMaxRadius);
    if (radius < 0) return 1;
    if (radius == 0) return tessel::copyPlane(in.data, out.data, in.width, in.height, in.stride, out.stride) ? 0 : 1;
    try {
        // Bands read rows across their seams, which a neighbouring band may already have written
        // when the output is the input.
        const cv::Mat input = tessel::readableApart(in, out, inputCopy_).mat();
        cv::Mat output = out.mat()(cv::Rect(0, 0, in.width, in.height));
        const int kernelSize = 2 * radius + 1;
        if (blursWithNarrowBox(resizeBlurType, kernelSize, input)) {
            finishing::chainedBoxBlur(input, output, {kernelSize});
            return 0;
        }
        finishing::GaussianBandBlur blur = nullptr;
        if (blursInFloatBands(resizeBlurType, kernelSize, input.rows)) {
            blur = finishing::gaussianBandBlur(tessel::chosenSimdPath());
        } else if (blursInIntegerBands(resizeBlurType, kernelSize, input)) {
            blur = finishing::gaussianBandBlurInIntegers(tessel::chosenSimdPath());
        }
        if (blur) {
            tessel::parallelStripes(input.rows, cv::getNumThreads(),
                                    [&](const cv::Range& rows) { blur(input, output, kernelSize, rows); });
        } else {
            cv::parallel_for_(cv::Range(0, kBands), Parallel_process(input, output, resizeBlurType, kernelSize),
                              cv::getNumThreads());
        }
    } catch (const cv::Exception&) {
        return 1;
    }
    return 0;
}
