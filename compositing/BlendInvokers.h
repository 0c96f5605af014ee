#pragma once
// The row-parallel loop bodies of the compositing kernels. Each is run with cv::parallel_for_ over
// the stripe indices 0..stripes-1; stripe i covers the rows tessel::stripeRows(i, rows, stripes) of
// both matrices (CV_8UC4, equal size) and writes only its own rows of the destination.

#include <cstdint>

#include <opencv2/core.hpp>

namespace imageC {

// A blend-mode table (one 256x256 table of BlendTables) weighted by source alpha and strength.
class parallelBlendAdobeInvoker : public cv::ParallelLoopBody {
public:
    parallelBlendAdobeInvoker(cv::Mat* dst, const cv::Mat* src, uint8_t strength, const uint8_t* table, int32_t stripes)
        : dst_(dst), src_(src), strength_(strength), table_(table), stripes_(stripes) {}
    void operator()(const cv::Range& range) const override;

private:
    cv::Mat* dst_;
    const cv::Mat* src_;
    uint8_t strength_;
    const uint8_t* table_;
    int32_t stripes_;
};

// Normal over a premultiplied source.
class parallelBlendNormalRRPreAlphaInvoker : public cv::ParallelLoopBody {
public:
    parallelBlendNormalRRPreAlphaInvoker(cv::Mat* dst, const cv::Mat* src, uint8_t strength, int32_t stripes)
        : dst_(dst), src_(src), strength_(strength), stripes_(stripes) {}
    void operator()(const cv::Range& range) const override;

private:
    cv::Mat* dst_;
    const cv::Mat* src_;
    uint8_t strength_;
    int32_t stripes_;
};

// Normal over a straight-alpha source; at full strength the destination colour is premultiplied by
// the destination alpha first.
class parallelBlendNormalRRStrenAlphaInvoker : public cv::ParallelLoopBody {
public:
    parallelBlendNormalRRStrenAlphaInvoker(cv::Mat* dst, const cv::Mat* src, uint8_t strength, int32_t stripes)
        : dst_(dst), src_(src), strength_(strength), stripes_(stripes) {}
    void operator()(const cv::Range& range) const override;

private:
    cv::Mat* dst_;
    const cv::Mat* src_;
    uint8_t strength_;
    int32_t stripes_;
};

// The destination multiplied by the source alpha.
class parallelHollowinInvoker : public cv::ParallelLoopBody {
public:
    parallelHollowinInvoker(cv::Mat* dst, const cv::Mat* src, int32_t stripes) : dst_(dst), src_(src), stripes_(stripes) {}
    void operator()(const cv::Range& range) const override;

private:
    cv::Mat* dst_;
    const cv::Mat* src_;
    int32_t stripes_;
};

// The destination multiplied by the inverse source alpha; the source where the destination is clear.
class parallelHollowOutInvoker : public cv::ParallelLoopBody {
public:
    parallelHollowOutInvoker(cv::Mat* dst, const cv::Mat* src, int32_t stripes) : dst_(dst), src_(src), stripes_(stripes) {}
    void operator()(const cv::Range& range) const override;

private:
    cv::Mat* dst_;
    const cv::Mat* src_;
    int32_t stripes_;
};

// The source multiplied by the destination alpha.
class parallelTextBgHollowInInvoker : public cv::ParallelLoopBody {
public:
    parallelTextBgHollowInInvoker(cv::Mat* dst, const cv::Mat* src, int32_t stripes)
        : dst_(dst), src_(src), stripes_(stripes) {}
    void operator()(const cv::Range& range) const override;

private:
    cv::Mat* dst_;
    const cv::Mat* src_;
    int32_t stripes_;
};

}  // namespace imageC
