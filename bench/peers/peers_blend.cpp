// Our blend modes beside libavfilter's blend and overlay filters. Ours is the motion effect placing
// a full-frame clip on its canvas (the clip blended over the canvas into the output), the
// way an editor composites one track over another; the peers also write a new output frame.
// The layer is the rocket picture with an alpha ramp, the canvas the astronaut picture.

#include "bench/peers/PeerBench.h"
#include "plugins/qorCommonFxPlugin/layer/NLEMotion.h"
#include "tests/support/EffectCalls.h"

namespace {

// The separable modes both sides have, with the same formula per channel. blend takes gbrap (it
// does not take packed BGRA) and applies the mode to all four planes at full opacity.
struct BlendMode {
    const char* name;
    int32_t ourMode;
    const char* ffmpegMode;
};
constexpr BlendMode kBlendModes[] = {{"multiply", 2, "multiply"},     {"screen", 5, "screen"},
                                     {"overlay", 8, "overlay"},       {"softlight", 9, "softlight"},
                                     {"hardlight", 10, "hardlight"}, {"difference", 15, "difference"}};
constexpr int32_t kNormal = 0;

void compareAt(const peers::FrameSize& size) {
    const cv::Size frameSize(size.width, size.height);
    const cv::Mat canvas = peers::picture("astronaut.png", frameSize);
    const cv::Mat layer = peers::withAlphaRamp(peers::picture("rocket.jpg", frameSize));
    const cv::Mat out(frameSize, CV_8UC4);
    auto motion = qortest::makeEffect<NLEMotion>();
    const auto ours = [&] { peers::render(*motion, out, canvas, layer); };

    for (const BlendMode& mode : kBlendModes) {
        qortest::setInt(*motion, "mode", mode.ourMode);
        peers::FilterGraph blend("blend", std::string("all_mode=") + mode.ffmpegMode, AV_PIX_FMT_GBRAP,
                                 {layer, canvas});
        peers::comparePair(std::string("blend-") + mode.name + "/ffmpeg-blend", size, ours,
                           [&] { blend.filterFrame(); });
    }

    // Normal: straight-alpha source over the canvas at full strength; overlay composites its
    // second input over its first by the second's alpha, on packed BGRA (format=rgb).
    qortest::setInt(*motion, "mode", kNormal);
    peers::FilterGraph overlay("overlay", "format=rgb", AV_PIX_FMT_BGRA, {canvas, layer});
    peers::comparePair("blend-normal/ffmpeg-overlay", size, ours, [&] { overlay.filterFrame(); });
}

}  // namespace

int main() { return peers::runComparisons(compareAt); }
