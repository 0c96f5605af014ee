#pragma once

#include <array>
#include <vector>

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

// One-parameter sharpen/soften. A positive "amount" sharpens the luma with an unsharp mask and a
// slight contrast lift and adds the luma change back to the colour channels; a negative "amount"
// softens the frame with three box blurs approximating a Gaussian whose size grows with the amount
// and the frame resolution; zero copies the frame.
class NLESharpenEffect : public tessel::NLEEffectFilter {
public:
    explicit NLESharpenEffect(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLESharpenEffect() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLESharpenEffect> kParams;

    // 0 on success; 1 for a missing or unusable buffer or a non-finite amount; 3 when the input and
    // output sizes differ. Refusals write nothing.
    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // Widths of the three box blurs that approximate a Gaussian of kernel size `kernelSize`.
    static std::array<int, 3> softenBoxSizes(int kernelSize);
    // Kernel size of the soften path for a negative `amount` on a frame of `width` x `height`;
    // amounts below -100 soften as -100 does.
    static int softenKernelSize(double amount, int width, int height);

private:
    // Settings of the sharpen path (only the strength follows the amount), the enhanced luma of
    // every (luma, blurred luma) pair for the current strength, and the scratch planes.
    struct SharpenState {
        float strength = 1.0f;  // unsharp-mask gain, amount / 50
        double blurSigma = 2.0;
        float contrast = 1.1f;  // gain about mid-grey
        std::vector<uint8_t> enhanceTable;
        cv::Mat luma, blurred, enhanced;

        void prepareEnhanceTable();
    };

    void sharpen(const cv::Mat& in, cv::Mat& out);
    void soften(const cv::Mat& in, cv::Mat& out);

    std::array<int, 3> boxSizes{1, 1, 1};
    float amount;  // widened to double where it is used
    SharpenState sharpenState;
    cv::Mat inputCopy_;  // the main input, copied when the host renders in place
};
