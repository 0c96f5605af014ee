#pragma once

#include "framework/EffectParams.h"

// Cursor highlight for screen recordings: a soft-edged translucent disc of a chosen colour centred
// on the mouse position, painted over a copy of the frame. Only the box around the disc is visited.
class NLECircleHighlight : public tessel::NLEEffectFilter {
public:
    explicit NLECircleHighlight(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLECircleHighlight() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLECircleHighlight> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float radius;  // disc radius as a fraction of a quarter of the frame width
    int32_t colorR;
    int32_t colorG;
    int32_t colorB;
    float opacityValue;
    float softness;
    float enable;   // drawn when above 0.5
    float mouseX;  // pixels
    float mouseY;
};
