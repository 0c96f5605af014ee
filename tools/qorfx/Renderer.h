#pragma once
// Renders one picture through an effect of the loaded module, the way an editor drives a frame:
// create the effect, push the parameter values, render, release.

#include <map>
#include <string>

#include <opencv2/core.hpp>

#include "tools/qorfx/EffectCatalog.h"
#include "tools/qorfx/FrameContext.h"
#include "tools/qorfx/ModuleHost.h"

namespace qorfx {

struct RenderRequest {
    cv::Mat input;                             // CV_8UC4
    cv::Mat second;                            // CV_8UC4 or empty; scaled to the input's size
    cv::Size outputSize;                       // empty: the input's size
    cv::Mat aiResult;                          // CV_8UC1 mask the host holds for the AI effects, or empty
    std::map<std::string, HostValue> values;   // on top of the announced defaults
    int64_t time = 0;
    int32_t totalTime = 0;
};

struct RenderResult {
    int32_t createStatus = 0;  // CreateQOREffect's result
    int32_t renderStatus = 0;  // Render's result (0 or 4)
    cv::Mat output;
    bool ok() const { return createStatus == 0 && renderStatus == 0; }
};

RenderResult renderPicture(ModuleHost& host, const CatalogEntry& entry, const RenderRequest& request);

}  // namespace qorfx
