#pragma once

#include "framework/EffectParams.h"

// A before/after view of the main input (before) and the second input (after), chosen by "mode":
// 0 the second input alone, 1 the main input alone, 2 both side by side at half size on transparent
// black, 3 left half from the main input and right half from the second input, 4 top half from the
// main input and bottom half from the second input. Other modes leave the output alone.
class NLECompareView : public tessel::NLEEffectFilter {
public:
    explicit NLECompareView(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLECompareView() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLECompareView> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    int32_t mode_;
};
