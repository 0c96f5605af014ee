#include "bench/peers/PeerBench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <stdexcept>

#include <opencv2/imgproc.hpp>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include "framework/Frame.h"
#include "tools/qorfx/Pictures.h"

namespace peers {

const FrameSize kFrameSizes[2] = {{1920, 1080, ""}, {3840, 2160, "@4k"}};

int runComparisons(const std::function<void(const FrameSize&)>& compareAt) {
    cv::setNumThreads(kThreads);
    av_log_set_level(AV_LOG_ERROR);
    try {
        for (const FrameSize& size : kFrameSizes) compareAt(size);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "peer comparison stopped: %s\n", failure.what());
        return 1;
    }
    return 0;
}

cv::Mat picture(const std::string& name, cv::Size size) {
    std::string error;
    const cv::Mat original = qorfx::readPicture(std::string(QOR_SOURCE_DIR) + "/examples/" + name, error);
    if (original.empty()) throw std::runtime_error(error);
    cv::Mat scaled;
    cv::resize(original, scaled, size, 0, 0, cv::INTER_CUBIC);
    return scaled;
}

cv::Mat withAlphaRamp(cv::Mat picture) {
    for (int y = 0; y < picture.rows; ++y) {
        auto* pixel = picture.ptr<cv::Vec4b>(y);
        for (int x = 0; x < picture.cols; ++x) pixel[x][3] = static_cast<uint8_t>(x * 255 / (picture.cols - 1));
    }
    return picture;
}

namespace {

tessel::Frame frameOf(const cv::Mat& picture) {
    return {picture.data, picture.cols, picture.rows, static_cast<int32_t>(picture.step)};
}

struct AvFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;

void check(int result, const std::string& what) {
    if (result >= 0) return;
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(result, reason, sizeof reason);
    throw std::runtime_error(what + ": " + reason);
}

void copyPlane(const cv::Mat& plane, AVFrame& frame, int index) {
    cv::Mat target(plane.rows, plane.cols, plane.type(), frame.data[index], static_cast<size_t>(frame.linesize[index]));
    plane.copyTo(target);
}

AvFramePtr avFrame(const cv::Mat& bgra, AVPixelFormat format) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) throw std::bad_alloc();
    frame->format = format;
    frame->width = bgra.cols;
    frame->height = bgra.rows;
    check(av_frame_get_buffer(frame.get(), 0), "cannot allocate a peer frame");
    std::vector<cv::Mat> planes;
    switch (format) {
        case AV_PIX_FMT_BGRA:
            copyPlane(bgra, *frame, 0);
            break;
        case AV_PIX_FMT_GBRAP:
            cv::split(bgra, planes);
            copyPlane(planes[1], *frame, 0);
            copyPlane(planes[0], *frame, 1);
            copyPlane(planes[2], *frame, 2);
            copyPlane(planes[3], *frame, 3);
            break;
        case AV_PIX_FMT_YUV444P: {
            cv::Mat bgr, ycrcb;
            cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
            cv::cvtColor(bgr, ycrcb, cv::COLOR_BGR2YCrCb);
            cv::split(ycrcb, planes);
            copyPlane(planes[0], *frame, 0);
            copyPlane(planes[2], *frame, 1);
            copyPlane(planes[1], *frame, 2);
            frame->color_range = AVCOL_RANGE_JPEG;
            break;
        }
        default:
            throw std::invalid_argument("no conversion to this peer pixel format");
    }
    return frame;
}

}  // namespace

void render(tessel::NLEEffectFilter& effect, const cv::Mat& out, const cv::Mat& second, const cv::Mat& in) {
    const tessel::Frame o = frameOf(out), s = frameOf(second), i = frameOf(in);
    const int32_t result =
        effect.Transform(o.data, o.width, o.height, o.stride, s.data, s.width, s.height, s.stride, i.data, i.width,
                         i.height, i.stride);
    if (result != 0) throw std::runtime_error("the effect refused the frame (result " + std::to_string(result) + ")");
}

struct FilterGraph::Graph {
    AVFilterGraph* graph = avfilter_graph_alloc();
    std::vector<AVFilterContext*> sources;
    AVFilterContext* sink = nullptr;
    std::vector<AvFramePtr> inputs;
    AvFramePtr output{av_frame_alloc()};
    int64_t pts = 0;
};

FilterGraph::FilterGraph(const std::string& filter, const std::string& options, AVPixelFormat format,
                         const std::vector<cv::Mat>& inputs)
    : graph_(std::make_unique<Graph>()) {
    Graph& g = *graph_;
    const std::string where = "libavfilter " + filter + "=" + options;
    if (!g.graph || !g.output) throw std::runtime_error(where + ": out of memory");
    // The thread count takes effect when the graph creates its first filter.
    g.graph->nb_threads = kThreads;
    avfilter_graph_set_auto_convert(g.graph, AVFILTER_AUTO_CONVERT_NONE);

    AVFilterContext* peer = nullptr;
    check(avfilter_graph_create_filter(&peer, avfilter_get_by_name(filter.c_str()), "peer", options.c_str(), nullptr,
                                       g.graph),
          where);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        g.inputs.push_back(avFrame(inputs[i], format));
        const AVFrame& frame = *g.inputs.back();
        char args[160];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1", frame.width,
                      frame.height, frame.format);
        AVFilterContext* source = nullptr;
        check(avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), ("in" + std::to_string(i)).c_str(),
                                           args, nullptr, g.graph),
              where + " (source)");
        check(avfilter_link(source, 0, peer, static_cast<unsigned>(i)), where + " (input link)");
        g.sources.push_back(source);
    }
    check(avfilter_graph_create_filter(&g.sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, g.graph),
          where + " (sink)");
    check(avfilter_link(peer, 0, g.sink, 0), where + " (output link)");
    check(avfilter_graph_config(g.graph, nullptr), where + " (does the filter take this pixel format?)");
}

FilterGraph::~FilterGraph() { avfilter_graph_free(&graph_->graph); }

void FilterGraph::filterFrame() {
    Graph& g = *graph_;
    for (std::size_t i = 0; i < g.sources.size(); ++i) {
        g.inputs[i]->pts = g.pts;
        check(av_buffersrc_add_frame_flags(g.sources[i], g.inputs[i].get(), AV_BUFFERSRC_FLAG_KEEP_REF),
              "feeding a peer filter");
    }
    ++g.pts;
    // Filters with several inputs may hold a frame back until the next one arrives: whatever is
    // ready is taken, so that every call costs one filtered frame once the pipeline is full.
    int result;
    while ((result = av_buffersink_get_frame(g.sink, g.output.get())) >= 0) av_frame_unref(g.output.get());
    if (result != AVERROR(EAGAIN)) check(result, "taking a peer filter's output");
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWarmUpFrames = 3;
constexpr int kLeastFrames = 15;
constexpr double kLeastSeconds = 0.5;
constexpr int kMostFrames = 400;

double millisecondsOf(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    if (values.size() % 2 == 1) return values[middle];
    return (values[middle] + *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle))) / 2;
}

}  // namespace

void comparePair(const std::string& pair, const FrameSize& size, const std::function<void()>& ours,
                 const std::function<void()>& peer) {
    for (int i = 0; i < kWarmUpFrames; ++i) {
        ours();
        peer();
    }
    std::vector<double> oursMs, peerMs;
    double elapsedMs = 0;
    while (oursMs.size() < static_cast<std::size_t>(kMostFrames) &&
           (oursMs.size() < static_cast<std::size_t>(kLeastFrames) || elapsedMs < kLeastSeconds * 1000)) {
        oursMs.push_back(millisecondsOf(ours));
        peerMs.push_back(millisecondsOf(peer));
        elapsedMs += oursMs.back() + peerMs.back();
    }
    std::printf("%s%s %.3f %.3f\n", pair.c_str(), size.pairSuffix, median(oursMs), median(peerMs));
    std::fflush(stdout);
}

}  // namespace peers
