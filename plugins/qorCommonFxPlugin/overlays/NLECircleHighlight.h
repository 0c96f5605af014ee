#pragma once

#include "framework/NLEEffectFilter.h"

// Cursor highlight for screen recordings: a soft-edged translucent disc of a chosen colour centred
// on the mouse position, painted over a copy of the frame. Only the box around the disc is visited.
class NLECircleHighlight : public tessel::NLEEffectFilter {
public:
    explicit NLECircleHighlight(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {}
    ~NLECircleHighlight() override = default;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float radius = 0.1f;  // disc radius as a fraction of a quarter of the frame width
    int32_t colorR = 0;
    int32_t colorG = 255;
    int32_t colorB = 255;
    float opacityValue = 0.7f;
    float softness = 0.1f;
    float enable = 1.0f;   // drawn when above 0.5
    float mouseX = 500.0f;  // pixels
    float mouseY = 500.0f;
};
