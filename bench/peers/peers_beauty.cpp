// Face beauty and its recursive bilateral filter beside libavfilter's bilateral, which is a
// recursive bilateral filter too, on the astronaut portrait. bilateral takes planar gbrap and
// smooths the three colour planes (planes=7), each weighted by its own differences; ours smooths
// the four channels of packed BGRA together, weighted by their colour difference.

#include <stdexcept>
#include <string>

#include "bench/peers/PeerBench.h"
#include "framework/rbfilter/CRBFilterSSE2.h"
#include "plugins/qorCommonFxPlugin/beauty/NLEFaceBeautyEffect.h"
#include "tests/support/EffectCalls.h"

namespace {

using peers::comparePair;

// Face beauty at smoothing level 50 gives the filter sigmas 50 / 200 and 50 / 2000 in units of
// 255: a spatial sigma of 63.75 pixels and a range sigma of 0.025 of full scale, which are
// bilateral's sigmaS (pixels) and sigmaR (fraction of full scale).
constexpr float kSmoothLevel = 50;
constexpr float kSigmaSpatial = kSmoothLevel / 200, kSigmaRange = kSmoothLevel / 2000;

void compareAt(const peers::FrameSize& size) {
    const cv::Mat in = peers::picture("astronaut.png", {size.width, size.height});
    const cv::Mat out(in.size(), CV_8UC4);
    peers::FilterGraph bilateral("bilateral",
                                 "sigmaS=" + std::to_string(kSigmaSpatial * 255) +
                                     ":sigmaR=" + std::to_string(kSigmaRange) + ":planes=7",
                                 AV_PIX_FMT_GBRAP, {in});
    const auto peer = [&] { bilateral.filterFrame(); };

    auto faceBeauty = qortest::makeEffect<NLEFaceBeautyEffect>();
    qortest::setFloats(*faceBeauty, {{"smooth_lev", kSmoothLevel}, {"color_lev", 20}, {"white_lev", 20}});
    comparePair("face-beauty/ffmpeg-bilateral", size, [&] { peers::render(*faceBeauty, out, cv::Mat(), in); }, peer);

    // The filter alone as face beauty drives it: its task count, one image and a flush per frame;
    // it needs unpadded rows.
    const cv::Mat packed = in.clone();
    CRBFilterSSE2 filter;
    if (!filter.init(in.cols, in.rows, NLEFaceBeautyEffect::smootherTasks(), true))
        throw std::runtime_error("the smoother refused the size");
    filter.setSigmas(kSigmaSpatial, kSigmaRange);
    comparePair("rbfilter/ffmpeg-bilateral", size, [&] {
        if (!filter.filter(out.data, packed.data, packed.cols, packed.rows, static_cast<int32_t>(packed.step)))
            throw std::runtime_error("the smoother refused the frame");
        filter.flush();
    }, peer);
}

}  // namespace

int main() { return peers::runComparisons(compareAt); }
