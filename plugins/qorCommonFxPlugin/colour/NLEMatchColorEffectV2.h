#pragma once

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"
#include "plugins/qorCommonFxPlugin/colour/LabColour.h"

namespace V2Utils {

// Weights a, b that mix the standardised α and β (a·α + b·β and b·α + a·β) so that their
// correlation moves from `measured` to `target` while each keeps unit spread; b is limited to
// half of a.
void correlationWeights(double measured, double target, double& a, double& b);

}  // namespace V2Utils

// Colour matching that keeps the picture's luminance. It works on the bounding box of the non-black
// part of the frame (letterbox bars are neither measured nor changed), standardises each lαβ
// channel there, mixes α and β so that their correlation approaches "f6", scales the channels to
// the target means "f0".."f2" and deviations "f3".."f5", and keeps from the result only hue and
// saturation: each pixel keeps its input grey level. Mixed with the input by "strength" percent
// and premultiplied by the input alpha.
class NLEMatchColorEffectV2 : public tessel::NLEEffectFilter {
public:
    explicit NLEMatchColorEffectV2(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEMatchColorEffectV2() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEMatchColorEffectV2> kParams;

    // 0 on success, also for the plain copy when disabled, without targets or for a black frame; 3
    // (logged at level 4, nothing written) for an unreadable input, an unwritable output, rows
    // shorter than the width or an output that does not cover the input. Only the input's area of
    // the output is written. Correct in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // Runs the per-pixel work on `path` instead of the widest one the processor offers; every path
    // gives the same bytes.
    void useSimdPath(tessel::SimdPath path) { simdPath_ = path; }

private:
    // The targets "f0".."f8": means and deviations of l, α and β, the α-β correlation, and the
    // grey level's mean and spread.
    float meanL, meanAlpha, meanBeta;
    float deviationL, deviationAlpha, deviationBeta;
    float correlation, grayMean, graySpread;
    int32_t enabled;
    int32_t strengthPercent;
    // Working planes of the region's size, kept between frames while the size stays.
    labColour::LabPlanes planes;
    cv::Mat gray;
    tessel::SimdPath simdPath_ = tessel::chosenSimdPath();
};
