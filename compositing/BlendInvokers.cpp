#include "compositing/BlendInvokers.h"

#include "compositing/BlendKernels.h"
#include "framework/Stripes.h"

namespace imageC {
namespace {

// Applies the rule `kind` to every pixel of the stripes in `range`, with the widest row kernel chosen.
void blendStripes(const cv::Range& range, int32_t stripes, const cv::Mat& src, cv::Mat& dst, BlendRowKind kind,
                  const BlendRowParams& params = {}) {
    if (stripes < 1) return;
    const BlendRowFn blendRow = blendRowKernels(kind).chosen();
    for (int i = range.start; i < range.end; ++i) {
        const cv::Range rows = tessel::stripeRows(i, src.rows, stripes);
        for (int y = rows.start; y < rows.end; ++y) {
            uint8_t* row = dst.ptr<uint8_t>(y);
            blendRow(src.ptr<uint8_t>(y), row, row, src.cols, params);
        }
    }
}

}  // namespace

void parallelBlendAdobeInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, BlendRowKind::ModeTable, {table_, strength_});
}

void parallelBlendNormalRRPreAlphaInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, BlendRowKind::NormalPremultiplied, {nullptr, strength_});
}

void parallelBlendNormalRRStrenAlphaInvoker::operator()(const cv::Range& range) const {
    if (strength_ == 255) {
        blendStripes(range, stripes_, *src_, *dst_, BlendRowKind::NormalStraightFull);
    } else {
        blendStripes(range, stripes_, *src_, *dst_, BlendRowKind::NormalStraight, {nullptr, strength_});
    }
}

void parallelHollowinInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, BlendRowKind::HollowIn);
}

void parallelHollowOutInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, BlendRowKind::HollowOut);
}

void parallelTextBgHollowInInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, BlendRowKind::TextBgHollowIn);
}

}  // namespace imageC
