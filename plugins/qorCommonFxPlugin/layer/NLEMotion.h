#pragma once

#include <cstdint>

#include <opencv2/core.hpp>

#include "framework/EffectParams.h"

// Where a layer goes: a rectangle of the clip (fractions of the clip's size) and the window of the
// canvas it fills (fractions of the canvas size), each as left, top, width, height.
struct LayerPlacement {
    cv::Rect2d clip;
    cv::Rect2d window;
};

// Copies the canvas window into `output` (unless `keepOutput`), scales the clip rectangle to the
// window, turns it by `angle` degrees (positive: counter-clockwise as displayed) about the window
// centre and composites it onto `output` with blend `mode` at `opacity` (0..1). The window must have
// the output's size; otherwise nothing is done. The clip rectangle is first cut to the clip (in
// `placement`). A window reaching outside the canvas raises cv::Exception before anything is written.
void warpLayerToWindow(const cv::Mat& clip, const cv::Mat& canvas, cv::Mat& output, LayerPlacement& placement,
                       float angle, uint32_t mode, float opacity, int interpolation, bool premultiplied,
                       bool keepOutput);

// One frame of a motion path: the main input (the clip) is scaled to a window of the second input
// (the canvas), turned about the window centre and composited onto that window, which the
// destination receives. "curPosX"/"curPosY" place the window centre and "curScaleX"/"curScaleY"
// size it, as fractions of the canvas; "curRotate" turns the clip clockwise in degrees; "mode" is
// the blend mode and "alpha" the opacity in percent.
class NLEMotion : public tessel::NLEEffectFilter {
public:
    explicit NLEMotion(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEMotion() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEMotion> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

private:
    float curPosX_;
    float curPosY_;
    float curRotate_;
    float curScaleX_;
    float curScaleY_;
    int32_t mode_;
    float alphaPercent_;
};
