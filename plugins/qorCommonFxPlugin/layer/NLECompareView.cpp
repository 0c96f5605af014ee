#include "plugins/qorCommonFxPlugin/layer/NLECompareView.h"

#include <opencv2/imgproc.hpp>

#include "framework/EffectParams.h"
#include "framework/Frame.h"
#include "framework/copyPlane.h"

using tessel::Frame;

namespace {

enum class CompareMode : int32_t { After = 0, Before = 1, SideBySide = 2, LeftRight = 3, TopBottom = 4 };

// Copies the rectangle `area` of `from` to the same place in `to`.
void copyArea(const Frame& from, const Frame& to, const cv::Rect& area) {
    const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(area.x) * Frame::kChannels;
    tessel::copyPlane(from.row(area.y) + offset, to.row(area.y) + offset, area.width, area.height, from.stride,
                      to.stride);
}

// Scales the whole of `from` into the rectangle `area` of `to`.
void resizeInto(const Frame& from, const Frame& to, const cv::Rect& area) {
    if (area.empty()) return;
    cv::Mat target = to.mat()(area);
    cv::resize(from.mat(), target, area.size(), 0, 0, cv::INTER_LINEAR);
}

}  // namespace

const tessel::ParamTable<NLECompareView> NLECompareView::kParams{
    {"mode", &NLECompareView::mode_, 0}};

int32_t NLECompareView::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                  uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                                  uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame after{second, secondWidth, secondHeight, secondStride};
    const Frame before{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || after.empty() || before.empty()) return 1;
    // The view has the second input's size; the output and the main input must hold all of it.
    if (!out.isValid() || !after.isValid() || !before.isValid() || !out.covers(after) || !before.covers(after))
        return 1;

    tessel::readParams(*this, kParams);

    const int W = after.width, H = after.height;
    const cv::Rect whole(0, 0, W, H);
    switch (static_cast<CompareMode>(mode_)) {
    case CompareMode::After: copyArea(after, out, whole); break;
    case CompareMode::Before: copyArea(before, out, whole); break;
    case CompareMode::SideBySide:
        out.mat()(whole).setTo(cv::Scalar::all(0));
        resizeInto(before, out, {0, H / 4, W / 2, H / 2});
        resizeInto(after, out, {W / 2, H / 4, W / 2, H / 2});
        break;
    // With an odd width or height the second input's half takes the extra column or row, so that
    // every output pixel is written.
    case CompareMode::LeftRight:
        copyArea(before, out, {0, 0, W / 2, H});
        copyArea(after, out, {W / 2, 0, W - W / 2, H});
        break;
    case CompareMode::TopBottom:
        copyArea(before, out, {0, 0, W, H / 2});
        copyArea(after, out, {0, H / 2, W, H - H / 2});
        break;
    }
    return 0;
}
