// Transform and motion turning a frame, and the pixel rotation, beside OpenCV's warpAffine and
// libavfilter's rotate and transpose, on the astronaut picture. All work on packed BGRA.

#include <functional>
#include <string>

#include <opencv2/imgproc.hpp>

#include "bench/peers/PeerBench.h"
#include "plugins/qorCommonFxPlugin/layer/NLEMotion.h"
#include "plugins/qorCommonFxPlugin/layer/NLEPixelRotateEffect.h"
#include "plugins/qorCommonFxPlugin/layer/NLETransform.h"
#include "tests/support/EffectCalls.h"

namespace {

using peers::comparePair;
using peers::FilterGraph;

constexpr int kDegrees = 30;
constexpr int32_t kQuarterTurnClockwise = 0;

// `ours` (named `effectName` in the pairs) beside the peers of a whole frame turned by kDegrees
// about its centre at the same size, bilinear: warpAffine with a constant (black) border, and
// rotate, which fills the uncovered corners black.
void compareTurn(const std::string& effectName, const peers::FrameSize& size, const cv::Mat& in,
                 const std::function<void()>& ours) {
    const cv::Mat turn = cv::getRotationMatrix2D({in.cols / 2.0f, in.rows / 2.0f}, kDegrees, 1.0);
    cv::Mat target;
    comparePair(effectName + "/opencv-warpaffine", size, ours,
                [&] { cv::warpAffine(in, target, turn, in.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT); });
    FilterGraph rotate("rotate", "angle=" + std::to_string(kDegrees) + "*PI/180:bilinear=1", AV_PIX_FMT_BGRA, {in});
    comparePair(effectName + "/ffmpeg-rotate", size, ours, [&] { rotate.filterFrame(); });
}

void compareAt(const peers::FrameSize& size) {
    const cv::Mat in = peers::picture("astronaut.png", {size.width, size.height});
    const cv::Mat out(in.size(), CV_8UC4);

    // Transform scales the whole input to the output and turns it.
    auto transform = qortest::makeEffect<NLETransform>();
    qortest::setInt(*transform, "theta", kDegrees);
    compareTurn("transform-rotate", size, in, [&] { peers::render(*transform, out, cv::Mat(), in); });

    // Motion turns the clip into a layer of the canvas's size and blends it over the canvas
    // (Normal, full opacity): a turn plus a composite, against the plain turn of the peers.
    const cv::Mat canvas = peers::picture("rocket.jpg", in.size());
    auto motion = qortest::makeEffect<NLEMotion>();
    qortest::setFloat(*motion, "curRotate", kDegrees);
    compareTurn("motion-rotate", size, in, [&] { peers::render(*motion, out, canvas, in); });

    // A quarter turn into an output of the turned size; transpose=clock is the same turn.
    auto pixelRotate = qortest::makeEffect<NLEPixelRotateEffect>();
    qortest::setInt(*pixelRotate, "rotateType", kQuarterTurnClockwise);
    const cv::Mat upright(in.cols, in.rows, CV_8UC4);
    FilterGraph transpose("transpose", "dir=clock", AV_PIX_FMT_BGRA, {in});
    comparePair("pixel-rotate/ffmpeg-transpose", size, [&] { peers::render(*pixelRotate, upright, cv::Mat(), in); },
                [&] { transpose.filterFrame(); });
}

}  // namespace

int main() { return peers::runComparisons(compareAt); }
