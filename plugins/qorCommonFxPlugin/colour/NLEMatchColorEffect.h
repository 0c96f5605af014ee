#pragma once

#include "framework/EffectParams.h"
#include "plugins/qorCommonFxPlugin/colour/LabColour.h"

// Reinhard colour transfer: the frame is converted into lαβ, each channel is shifted and scaled so
// that its mean and standard deviation become the targets ("mean_b", "mean_g", "mean_r" for l, α,
// β; "stddb", "stddg", "stddr" for their deviations), converted back, mixed with the input by
// "strength" percent and premultiplied by the input alpha. The scale of a channel is limited to
// 0..1.5; a channel without spread in the frame is only shifted.
class NLEMatchColorEffect : public tessel::NLEEffectFilter {
public:
    explicit NLEMatchColorEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEMatchColorEffect() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEMatchColorEffect> kParams;

    // 0 on success, also for the plain copy when disabled or without targets; 1 for a missing or
    // unusable buffer or an output that does not cover the input (nothing written). Only the input's
    // area of the output is written. Correct in place.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // What the back conversion applies to every pixel: per channel l, α, β the frame's mean, the
    // target mean and the scale, and the weight of the matched colour.
    struct Replacement {
        float sourceMean[3];
        float targetMean[3];
        float ratio[3];
        float strength;  // 0..1
    };

    // Converts `rows` rows of `width` plane values (from `l`, `alpha`, `beta`) back to BGR with
    // `replacement` and writes them, mixed with `input` and premultiplied, to `output`, as many
    // pixels at a time as `path` allows.
    static void labf2bgrxAndReplace(const uint8_t* input, int32_t inputStride, const float* l, const float* alpha,
                                    const float* beta, int32_t planeStride, uint8_t* output, int32_t outputStride,
                                    int width, int rows, const Replacement& replacement,
                                    tessel::SimdPath path = tessel::chosenSimdPath());

    // Runs the per-pixel work on `path` instead of the widest one the processor offers; every path
    // gives the same bytes.
    void useSimdPath(tessel::SimdPath path) { simdPath_ = path; }

private:
    // Target means and deviations of l, α and β.
    float meanL, meanAlpha, meanBeta;
    float deviationL, deviationAlpha, deviationBeta;
    int32_t enabled;
    int32_t strengthPercent;
    // Working planes, kept while the frame size stays so that a clip does not allocate per frame.
    labColour::LabPlanes planes;
    tessel::SimdPath simdPath_ = tessel::chosenSimdPath();
};
