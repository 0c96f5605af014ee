#pragma once

#include <opencv2/core.hpp>

#include "framework/Frame.h"
#include "framework/EffectParams.h"
#include "framework/rbfilter/CRBFilterSSE2.h"

// Skin smoothing with colour lift and whitening. The picture is smoothed by the recursive
// bilateral filter (strength "smooth_lev"), warmed by a tenth of "color_lev" on red (or, for a
// negative level, cooled by its magnitude on blue), brightened by a quarter of "white_lev", and
// laid over the input by the input's alpha, so transparent pixels keep the input. The effect pack
// names the same levels "Smoothen", "Color" and "Whiten" in its lite variant.
class NLEFaceBeautyEffect : public tessel::NLEEffectFilter {
public:
    explicit NLEFaceBeautyEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEFaceBeautyEffect() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEFaceBeautyEffect> kParams;

    // 0 on success; 1 for a missing or unusable buffer or an output of another size than the
    // input (nothing written). Works in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // Width of the picture the smoother gets for a frame `width` wide: the frame cropped by its
    // remainder modulo 16 when that is at most 6 columns, else padded up to a multiple of 16.
    static int alignedWidth(int width);

    // Tasks per pass of the smoother: one per thread OpenCV runs loops on, at most the filter's
    // limit. More tasks than cores only make the passes share cores and caches (on two cores the
    // vertical pass takes a quarter longer with four tasks than with two); any count gives the
    // same bytes.
    static int smootherTasks();

private:
    cv::Mat alignedInput(const tessel::Frame& in);
    cv::Mat smooth(const cv::Mat& input);
    void finish(const tessel::Frame& in, const tessel::Frame& out, const cv::Mat& smoothed) const;

    float smoothLevel;
    float colorLevel;
    float whiteLevel;
    CRBFilterSSE2 smoother;
    cv::Mat aligned, smoothedRows;
};
