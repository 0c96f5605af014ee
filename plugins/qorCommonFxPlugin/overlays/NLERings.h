#pragma once

#include "framework/NLEEffectFilter.h"

// Animated click indicator for screen recordings: two concentric cosine ripple patterns around the
// mouse position, whose strengths rise and fall with the animation progress ("Process", 0..1),
// painted over a copy of the frame. Only the box around the ripples is visited.
class NLERings : public tessel::NLEEffectFilter {
public:
    explicit NLERings(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {}
    ~NLERings() override = default;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float opacityValue = 0.7f;
    float duration = 0.5f;  // kept for the host; the drawing depends on "Process" alone
    float enable = 1.0f;    // drawn when above 0.5
    float radius = 1.0f;
    int32_t colorR = 0;
    int32_t colorG = 255;
    int32_t colorB = 255;
    float mouseX = 500.0f;  // pixels
    float mouseY = 500.0f;
    float clicked = 1.0f;  // drawn when above 0.5
    float process = 1.0f;  // animation progress, 0..1
};
