#include "compositing/BlendInvokers.h"

#include "compositing/BlendRules.h"
#include "framework/Stripes.h"

namespace imageC {
namespace {

// Applies `rule` to every pixel of the stripes in `range`.
template <class Rule>
void blendStripes(const cv::Range& range, int32_t stripes, const cv::Mat& src, cv::Mat& dst, const Rule& rule) {
    if (stripes < 1) return;
    for (int i = range.start; i < range.end; ++i) {
        const cv::Range rows = tessel::stripeRows(i, src.rows, stripes);
        for (int y = rows.start; y < rows.end; ++y) rules::blendRow(rule, src.ptr<uint8_t>(y), dst.ptr<uint8_t>(y), src.cols);
    }
}

}  // namespace

void parallelBlendAdobeInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, rules::ModeTable{table_, strength_});
}

void parallelBlendNormalRRPreAlphaInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, rules::NormalPremultiplied{strength_});
}

void parallelBlendNormalRRStrenAlphaInvoker::operator()(const cv::Range& range) const {
    if (strength_ == 255) {
        blendStripes(range, stripes_, *src_, *dst_, rules::NormalStraightFull{});
    } else {
        blendStripes(range, stripes_, *src_, *dst_, rules::NormalStraight{strength_});
    }
}

void parallelHollowinInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, rules::HollowIn{});
}

void parallelHollowOutInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, rules::HollowOut{});
}

void parallelTextBgHollowInInvoker::operator()(const cv::Range& range) const {
    blendStripes(range, stripes_, *src_, *dst_, rules::TextBgHollowIn{});
}

}  // namespace imageC
