#pragma once
// What the peer comparison programs share: the two frame sizes, the sample pictures scaled to
// them, one libavfilter graph per peer filter, and the timing of an effect beside its peer.
//
// Every program prints one line per pair, "PAIR ours_ms peer_ms" (milliseconds per frame, the
// median of the frames timed), the 3840x2160 pairs named with "@4k" at the end.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "framework/NLEEffectFilter.h"

namespace peers {

// Threads given to our effects, OpenCV and libavfilter alike.
constexpr int kThreads = 2;

struct FrameSize {
    int width, height;
    const char* pairSuffix;  // appended to the pair names of this size
};
extern const FrameSize kFrameSizes[2];

// The body of a comparison program: sets every library to kThreads threads, quiets
// libavfilter's messages below errors and runs `compareAt` for each of kFrameSizes. A failure
// (a peer filter that will not configure, an effect refusing its frame) stops the program with
// the reason on stderr and exit code 1.
int runComparisons(const std::function<void(const FrameSize&)>& compareAt);

// A sample picture of the project (examples/) scaled to `size`, BGRA and opaque.
cv::Mat picture(const std::string& name, cv::Size size);

// `picture` with its alpha replaced by a left-to-right ramp from 0 to 255: a layer that is
// transparent, partly covering and opaque in places.
cv::Mat withAlphaRamp(cv::Mat picture);

// One effect frame through Transform: destination, second input, main input, as a host calls it.
// Throws when the effect refuses the frame, since a refused frame measures nothing.
void render(tessel::NLEEffectFilter& effect, const cv::Mat& out, const cv::Mat& second, const cv::Mat& in);

// buffer sources -> one filter -> buffersink, on kThreads slice threads. Formats are not
// converted inside the graph: a filter that does not take its inputs' format fails to configure,
// so the timing never includes a hidden conversion.
class FilterGraph {
public:
    // `filter` is a libavfilter name, `options` its option string ("all_mode=multiply"); one
    // buffer source per input picture (CV_8UC4), in the filter's input order, each converted to
    // `format` here, outside the timed work: AV_PIX_FMT_BGRA, GBRAP or YUV444P (full-range BT.601;
    // the content only has to be the same picture).
    FilterGraph(const std::string& filter, const std::string& options, AVPixelFormat format,
                const std::vector<cv::Mat>& inputs);
    ~FilterGraph();
    FilterGraph(const FilterGraph&) = delete;
    FilterGraph& operator=(const FilterGraph&) = delete;

    // Feeds every input once more (kept references: the frames stay ours and unwritable to the
    // filter, which therefore writes a new output frame, as our effects do) and takes the output.
    void filterFrame();

private:
    struct Graph;
    std::unique_ptr<Graph> graph_;
};

// Times `ours` and `peer` turn about (so that load from other processes hits both alike) after a
// warm-up, for at least 15 frames each and at least half a second (more frames for fast pairs),
// and prints "PAIR ours_ms peer_ms" with the medians.
void comparePair(const std::string& pair, const FrameSize& size, const std::function<void()>& ours,
                 const std::function<void()>& peer);

}  // namespace peers
