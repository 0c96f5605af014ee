#pragma once

#include "framework/EffectParams.h"

// Animated click indicator for screen recordings: two concentric cosine ripple patterns around the
// mouse position, whose strengths rise and fall with the animation progress ("Process", 0..1),
// painted over a copy of the frame. Only the box around the ripples is visited.
class NLERings : public tessel::NLEEffectFilter {
public:
    explicit NLERings(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLERings() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLERings> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float opacityValue;
    float duration;  // kept for the host; the drawing depends on "Process" alone
    float enable;    // drawn when above 0.5
    float radius;
    int32_t colorR;
    int32_t colorG;
    int32_t colorB;
    float mouseX;  // pixels
    float mouseY;
    float clicked;  // drawn when above 0.5
    float process;  // animation progress, 0..1
};
