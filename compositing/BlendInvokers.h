#pragma once
// The row-parallel loop bodies of the compositing kernels. Each is run with cv::parallel_for_ over
// the stripe indices 0..stripes-1; stripe i covers the rows tessel::stripeRows(i, rows, stripes) of
// both matrices (CV_8UC4, equal size) and writes only its own rows of the destination.

#include <cstdint>

#include <opencv2/core.hpp>

namespace imageC {

// What every loop body holds: the two matrices and the stripe count.
class StripedBlendBody : public cv::ParallelLoopBody {
protected:
    StripedBlendBody(cv::Mat* dst, const cv::Mat* src, int32_t stripes) : dst_(dst), src_(src), stripes_(stripes) {}

    cv::Mat* dst_;
    const cv::Mat* src_;
    int32_t stripes_;
};

// A blend-mode table (one 256x256 table of BlendTables) weighted by source alpha and strength.
class parallelBlendAdobeInvoker : public StripedBlendBody {
public:
    parallelBlendAdobeInvoker(cv::Mat* dst, const cv::Mat* src, uint8_t strength, const uint8_t* table, int32_t stripes)
        : StripedBlendBody(dst, src, stripes), strength_(strength), table_(table) {}
    void operator()(const cv::Range& range) const override;

private:
    uint8_t strength_;
    const uint8_t* table_;
};

// Normal over a premultiplied source.
class parallelBlendNormalRRPreAlphaInvoker : public StripedBlendBody {
public:
    parallelBlendNormalRRPreAlphaInvoker(cv::Mat* dst, const cv::Mat* src, uint8_t strength, int32_t stripes)
        : StripedBlendBody(dst, src, stripes), strength_(strength) {}
    void operator()(const cv::Range& range) const override;

private:
    uint8_t strength_;
};

// Normal over a straight-alpha source; at full strength the destination colour is premultiplied by
// the destination alpha first.
class parallelBlendNormalRRStrenAlphaInvoker : public StripedBlendBody {
public:
    parallelBlendNormalRRStrenAlphaInvoker(cv::Mat* dst, const cv::Mat* src, uint8_t strength, int32_t stripes)
        : StripedBlendBody(dst, src, stripes), strength_(strength) {}
    void operator()(const cv::Range& range) const override;

private:
    uint8_t strength_;
};

// The destination multiplied by the source alpha.
class parallelHollowinInvoker : public StripedBlendBody {
public:
    parallelHollowinInvoker(cv::Mat* dst, const cv::Mat* src, int32_t stripes) : StripedBlendBody(dst, src, stripes) {}
    void operator()(const cv::Range& range) const override;
};

// The destination multiplied by the inverse source alpha; the source where the destination is clear.
class parallelHollowOutInvoker : public StripedBlendBody {
public:
    parallelHollowOutInvoker(cv::Mat* dst, const cv::Mat* src, int32_t stripes) : StripedBlendBody(dst, src, stripes) {}
    void operator()(const cv::Range& range) const override;
};

// The source multiplied by the destination alpha.
class parallelTextBgHollowInInvoker : public StripedBlendBody {
public:
    parallelTextBgHollowInInvoker(cv::Mat* dst, const cv::Mat* src, int32_t stripes)
        : StripedBlendBody(dst, src, stripes) {}
    void operator()(const cv::Range& range) const override;
};

}  // namespace imageC
