#include "plugins/qorCommonFxPlugin/overlays/NLERenderRegion.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "compositing/RenderRegionInvoker.h"
#include "framework/EffectParams.h"
#include "framework/Frame.h"

using tessel::Frame;

namespace {

constexpr double kShadeStripes = 4;

// Edges of a rectangle given by its first pixel and size, computed without int overflow and
// clipped to one pixel beyond the frame: pixels outside the frame are never touched, so this
// changes nothing visible.
int32_t clipEdge(int64_t edge, int32_t frameSize) { return static_cast<int32_t>(std::clamp<int64_t>(edge, -1, frameSize)); }

void shadeOutside(cv::Mat& output, const RegionParams& params) {
    const int32_t left = clipEdge(params.fLeft, output.cols);
    const int32_t top = clipEdge(params.fTop, output.rows);
    const int32_t right = clipEdge(static_cast<int64_t>(params.fLeft) + params.editViewsWidth - 1, output.cols);
    const int32_t bottom = clipEdge(static_cast<int64_t>(params.fTop) + params.editViewsHeight - 1, output.rows);
    const int32_t alpha = std::clamp(params.outSideAreaA, 0, 255);
    const imageC::parallelRenderRegionInInvoker shade(&output, static_cast<uint8_t>(255 - alpha), right, bottom, top,
                                                      left, params.outSideAreaB, params.outSideAreaG,
                                                      params.outSideAreaR, alpha);
    cv::parallel_for_(cv::Range(0, output.rows), shade, kShadeStripes);
}

// One one-pixel rectangle outline from (left, top) of the given size; nothing for an empty size.
void drawOutline(cv::Mat& output, int64_t left, int64_t top, int32_t width, int32_t height, const cv::Scalar& colour) {
    if (width <= 0 || height <= 0) return;
    const cv::Point first(clipEdge(left, output.cols), clipEdge(top, output.rows));
    const cv::Point last(clipEdge(left + width - 1, output.cols), clipEdge(top + height - 1, output.rows));
    cv::rectangle(output, first, last, colour, 1, cv::LINE_8, 0);
}

// A guide frame: the shadow colour one pixel right and below, the main colour on top of it.
void drawGuide(cv::Mat& output, int32_t left, int32_t top, int32_t width, int32_t height, const RegionParams& params) {
    const cv::Scalar shadow(params.lineB1, params.lineG1, params.lineR1, 255);
    const cv::Scalar main(params.lineB0, params.lineG0, params.lineR0, 255);
    drawOutline(output, int64_t{left} + 1, int64_t{top} + 1, width, height, shadow);
    drawOutline(output, left, top, width, height, main);
}

}  // namespace

void renderRegion(const cv::Mat& input, cv::Mat& output, const RegionParams& params, bool drawOuterGuide,
                  bool drawInnerGuide, bool keepOutput) {
    if (!keepOutput) input.copyTo(output);
    shadeOutside(output, params);
    if (drawOuterGuide) {
        drawGuide(output, params.outLineLeft, params.outLineTop, params.outLineWidth, params.outLineHeight, params);
    }
    if (drawInnerGuide) {
        drawGuide(output, params.inLineLeft, params.inLineTop, params.inLineWidth, params.inLineHeight, params);
    }
}

const tessel::ParamTable<RegionParams> NLERenderRegion::kParams{
    {"fLeft", &RegionParams::fLeft, 0},
    {"fTop", &RegionParams::fTop, 0},
    {"editViewsWidth", &RegionParams::editViewsWidth, 0},
    {"editViewsHeight", &RegionParams::editViewsHeight, 0},
    {"outSideAreaR", &RegionParams::outSideAreaR, 0},
    {"outSideAreaG", &RegionParams::outSideAreaG, 0},
    {"outSideAreaB", &RegionParams::outSideAreaB, 0},
    {"outSideAreaA", &RegionParams::outSideAreaA, 0},
    {"outLineLeft", &RegionParams::outLineLeft, 0},
    {"outLineTop", &RegionParams::outLineTop, 0},
    {"outLineWidth", &RegionParams::outLineWidth, 0},
    {"outLineHeight", &RegionParams::outLineHeight, 0},
    {"inLineLeft", &RegionParams::inLineLeft, 0},
    {"inLineTop", &RegionParams::inLineTop, 0},
    {"inLineWidth", &RegionParams::inLineWidth, 0},
    {"inLineHeight", &RegionParams::inLineHeight, 0},
    {"lineR0", &RegionParams::lineR0, 0},
    {"lineG0", &RegionParams::lineG0, 0},
    {"lineB0", &RegionParams::lineB0, 0},
    {"lineR1", &RegionParams::lineR1, 0},
    {"lineG1", &RegionParams::lineG1, 0},
    {"lineB1", &RegionParams::lineB1, 0},
    {"outLineSafeZoom", &RegionParams::outLineSafeZoom, 0},
    {"inLineSafeZoom", &RegionParams::inLineSafeZoom, 0}};

int32_t NLERenderRegion::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                   uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                   uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (!out.canHold(in)) return 1;

    // Read afresh every frame: a parameter the host does not send counts as 0, a flag as off.
    RegionParams params;
    kParams.setDefaults(params);
    kParams.read(*this, params);

    // The input's area of the output: a larger output keeps its other pixels.
    cv::Mat output = out.mat()(cv::Rect(0, 0, in.width, in.height));
    renderRegion(in.mat(), output, params, params.outLineSafeZoom != 0, params.inLineSafeZoom != 0, false);
    return 0;
}
