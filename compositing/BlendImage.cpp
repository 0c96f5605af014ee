#include "compositing/BlendImage.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "compositing/BlendInvokers.h"
#include "compositing/BlendKernels.h"
#include "compositing/BlendTables.h"

namespace imageC {
namespace {

enum class Kernel { Normal, Table, HollowIn, HollowOut, TextBgHollowIn, Replace };

struct ModeRule {
    Kernel kernel;
    int table;  // BlendTables index, for Kernel::Table
};

constexpr int kNoTable = -1;

// Indexed by mode number; numbers past the end are Normal.
constexpr ModeRule kModeRules[] = {
    /*  0 Normal         */ {Kernel::Normal, kNoTable},
    /*  1 Darken         */ {Kernel::Table, BlendTables::Darken},
    /*  2 Multiply       */ {Kernel::Table, BlendTables::Multiply},
    /*  3 ColorBurn      */ {Kernel::Table, BlendTables::ColorBurn},
    /*  4 LinearBurn     */ {Kernel::Table, BlendTables::LinearBurn},
    /*  5 Screen         */ {Kernel::Table, BlendTables::Screen},
    /*  6 ColorDodge     */ {Kernel::Table, BlendTables::ColorDodge},
    /*  7 LinearDodge    */ {Kernel::Table, BlendTables::LinearDodge},
    /*  8 Overlay        */ {Kernel::Table, BlendTables::Overlay},
    /*  9 SoftLight      */ {Kernel::Table, BlendTables::SoftLight},
    /* 10 HardLight      */ {Kernel::Table, BlendTables::HardLight},
    /* 11 VividLight     */ {Kernel::Table, BlendTables::VividLight},
    /* 12 LinearLight    */ {Kernel::Table, BlendTables::LinearLight},
    /* 13 PinLight       */ {Kernel::Table, BlendTables::PinLight},
    /* 14 HardMix        */ {Kernel::Table, BlendTables::HardMix},
    /* 15 Difference     */ {Kernel::Table, BlendTables::Difference},
    /* 16 Exclusion      */ {Kernel::Table, BlendTables::Exclusion},
    /* 17 Lighten        */ {Kernel::Table, BlendTables::Lighten},
    /* 18 Normal         */ {Kernel::Normal, kNoTable},
    /* 19 HollowIn       */ {Kernel::HollowIn, kNoTable},
    /* 20 HollowOut      */ {Kernel::HollowOut, kNoTable},
    /* 21 TextBgHollowIn */ {Kernel::TextBgHollowIn, kNoTable},
    /* 22 Replace        */ {Kernel::Replace, kNoTable},
    /* 23 Add            */ {Kernel::Table, BlendTables::Add},
};

static_assert(std::size(kModeRules) == kBlendModeCount, "one rule per blend mode");

ModeRule modeRule(uint32_t mode) {
    return mode < std::size(kModeRules) ? kModeRules[mode] : ModeRule{Kernel::Normal, kNoTable};
}

// The hollow kernels always cut the image into this many bands.
constexpr int kHollowStripes = 8;

void runStripes(const cv::ParallelLoopBody& body, int stripes) {
    cv::parallel_for_(cv::Range(0, stripes), body, cv::getNumThreads());
}

// A band count below one would leave no band to run (or divide by zero).
int atLeastOneStripe(int stripes) { return std::max(stripes, 1); }

bool blendable(const cv::Mat& src, const cv::Mat& dst) {
    return !src.empty() && !dst.empty() && src.type() == CV_8UC4 && dst.type() == CV_8UC4 &&
           src.size() == dst.size();
}

// True when the pixels of the two matrices share memory.
bool overlaps(const cv::Mat& a, const cv::Mat& b) {
    const auto end = [](const cv::Mat& m) { return m.ptr<uint8_t>(m.rows - 1) + m.cols * m.elemSize(); };
    return a.data < end(b) && b.data < end(a);
}

}  // namespace

void blendAdobe(const cv::Mat& src, cv::Mat& dst, const uint8_t* table, uint8_t strength, int stripes) {
    stripes = atLeastOneStripe(stripes);
    runStripes(parallelBlendAdobeInvoker(&dst, &src, strength, table, stripes), stripes);
}

void blendNormal(const cv::Mat& src, cv::Mat& dst, uint8_t strength, bool premultiplied, int stripes) {
    stripes = atLeastOneStripe(stripes);
    if (premultiplied) {
        runStripes(parallelBlendNormalRRPreAlphaInvoker(&dst, &src, strength, stripes), stripes);
    } else {
        runStripes(parallelBlendNormalRRStrenAlphaInvoker(&dst, &src, strength, stripes), stripes);
    }
}

bool blendImage(const cv::Mat& src, cv::Mat& dst, uint32_t mode, int strength, bool premultiplied, int stripes) {
    if (!blendable(src, dst)) return false;
    // Stripes read the source while others write the destination: a source sharing the
    // destination's memory is blended from a copy.
    if (overlaps(src, dst)) return blendImage(src.clone(), dst, mode, strength, premultiplied, stripes);
    const uint8_t k = static_cast<uint8_t>(strength);
    const ModeRule rule = modeRule(mode);
    switch (rule.kernel) {
    case Kernel::Table: blendAdobe(src, dst, getBlendTables()->table(rule.table), k, stripes); break;
    case Kernel::HollowIn: runStripes(parallelHollowinInvoker(&dst, &src, kHollowStripes), kHollowStripes); break;
    case Kernel::HollowOut: runStripes(parallelHollowOutInvoker(&dst, &src, kHollowStripes), kHollowStripes); break;
    case Kernel::TextBgHollowIn:
        runStripes(parallelTextBgHollowInInvoker(&dst, &src, kHollowStripes), kHollowStripes);
        break;
    case Kernel::Replace: src.copyTo(dst); break;
    case Kernel::Normal: blendNormal(src, dst, k, premultiplied, stripes); break;
    }
    return true;
}

bool blendImageOver(const cv::Mat& src, const cv::Mat& background, cv::Mat& dst, uint32_t mode, int strength,
                    bool premultiplied) {
    if (!blendable(src, dst) || background.size() != dst.size() || background.type() != dst.type()) return false;
    if (overlaps(src, dst) || (background.data != dst.data && overlaps(background, dst))) return false;
    const uint8_t k = static_cast<uint8_t>(strength);
    const ModeRule rule = modeRule(mode);
    if (rule.kernel == Kernel::Replace) {
        src.copyTo(dst);
        return true;
    }
    BlendRowParams params{nullptr, k};
    BlendRowKind kind = BlendRowKind::NormalStraight;
    switch (rule.kernel) {
    case Kernel::Table:
        kind = BlendRowKind::ModeTable;
        params.table = getBlendTables()->table(rule.table);
        break;
    case Kernel::HollowIn: kind = BlendRowKind::HollowIn; break;
    case Kernel::HollowOut: kind = BlendRowKind::HollowOut; break;
    case Kernel::TextBgHollowIn: kind = BlendRowKind::TextBgHollowIn; break;
    case Kernel::Replace: break;
    case Kernel::Normal:
        kind = premultiplied ? BlendRowKind::NormalPremultiplied
                             : k == 255 ? BlendRowKind::NormalStraightFull : BlendRowKind::NormalStraight;
        break;
    }
    const BlendRowFn blendRow = blendRowKernels(kind).chosen();
    for (int y = 0; y < dst.rows; ++y) {
        blendRow(src.ptr<uint8_t>(y), background.ptr<uint8_t>(y), dst.ptr<uint8_t>(y), dst.cols, params);
    }
    return true;
}

void blendPixel(const uint8_t* src, uint8_t* dst, uint32_t mode, int32_t strength, bool premultiplied) {
    blendPixelRow(src, dst, 1, mode, strength, premultiplied);
}

void blendPixelRow(const uint8_t* src, uint8_t* dst, int count, uint32_t mode, int32_t strength, bool premultiplied) {
    if (count <= 0) return;
    const uint8_t k = static_cast<uint8_t>(std::clamp(strength, 0, 255));
    const ModeRule rule = modeRule(mode);
    const auto blendRow = [&](BlendRowKind kind, const uint8_t* table = nullptr) {
        blendRowKernels(kind).chosen()(src, dst, dst, count, BlendRowParams{table, k});
    };
    switch (rule.kernel) {
    case Kernel::Table: blendRow(BlendRowKind::ModeTableCoverage, getBlendTables()->table(rule.table)); break;
    case Kernel::HollowIn: blendRow(BlendRowKind::HollowIn); break;
    case Kernel::HollowOut: blendRow(BlendRowKind::HollowOut); break;
    case Kernel::TextBgHollowIn: blendRow(BlendRowKind::TextBgHollowIn); break;
    case Kernel::Replace: std::memcpy(dst, src, static_cast<std::size_t>(count) * 4); break;
    case Kernel::Normal:
        // Only mode 0 blends; 18 and the numbers past the table leave the pixels as they are.
        if (mode != 0) break;
        // mul(S.a, 255) is S.a, so full strength needs no straight case of its own here.
        blendRow(premultiplied ? BlendRowKind::NormalPremultiplied : BlendRowKind::NormalStraight);
        break;
    }
}

}  // namespace imageC
