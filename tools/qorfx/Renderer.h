#pragma once
// Renders frames through a chain of effects of the loaded module, the way an editor drives a clip
// with stacked effects: one effect object per stage, parameter values pushed before every frame,
// each stage's output the next stage's input.

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tools/qorfx/EffectCatalog.h"
#include "tools/qorfx/EffectSettings.h"
#include "tools/qorfx/ModuleHost.h"

namespace qorfx {

struct EffectStage {
    const CatalogEntry* entry = nullptr;
    ParamValues values;  // on top of the announced defaults
};

struct FrameTimes {
    int64_t current = 0;  // GetCurrentTime, in host time units
    int32_t total = 0;    // GetTotalTime
};

struct ChainResult {
    cv::Mat output;
    int refusedStage = -1;     // the first stage whose Render failed; it passed its input on
    int32_t renderStatus = 0;  // that stage's result
    bool ok() const { return refusedStage < 0; }
};

class EffectChain {
public:
    // `outputSize` empty: every stage writes a frame of its input's size.
    EffectChain(ModuleHost& host, std::vector<EffectStage> stages, cv::Size outputSize);

    // Creates one effect object per stage; false with a message in `error` when one has no class.
    bool create(std::string& error);

    // `input` is handed to the first effect as it is, so pass a copy of a picture that must stay
    // untouched. `second` (CV_8UC4, may be empty) is fitted to each stage's input size. A stage
    // that refuses the frame passes its input on unchanged, as an editor shows a clip without it.
    ChainResult render(cv::Mat input, const cv::Mat& second, FrameTimes times);

    const std::vector<EffectStage>& stages() const { return stages_; }

    // A one-channel mask (white is skin) the host hands the AI effects as their ready result, as an
    // editor does with an AI result it already holds; empty for none.
    void setAiResult(cv::Mat mask) { aiResult_ = std::move(mask); }

private:
    ModuleHost& host_;
    std::vector<EffectStage> stages_;
    std::vector<EffectHandle> effects_;
    cv::Size outputSize_;
    cv::Mat aiResult_;
};

}  // namespace qorfx
