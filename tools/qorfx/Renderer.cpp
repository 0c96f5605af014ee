#include "tools/qorfx/Renderer.h"

#include <opencv2/imgproc.hpp>

#include "tools/qorfx/ParamText.h"

namespace qorfx {

RenderResult renderPicture(ModuleHost& host, const CatalogEntry& entry, const RenderRequest& request) {
    RenderResult result;
    EffectHandle effect = host.create(entry.effect->guid, 0, &result.createStatus);
    if (!effect) return result;

    const cv::Size outputSize = request.outputSize.empty() ? request.input.size() : request.outputSize;
    MatImageBuffer input(request.input.clone());
    MatImageBuffer output(cv::Mat::zeros(outputSize, CV_8UC4));
    cv::Mat secondPicture;
    if (!request.second.empty()) {
        if (request.second.size() == request.input.size()) secondPicture = request.second.clone();
        else cv::resize(request.second, secondPicture, request.input.size(), 0, 0, cv::INTER_AREA);
    }
    MatImageBuffer second(secondPicture);
    MatImageBuffer aiResult(request.aiResult);

    FrameContext context;
    context.currentTime = request.time;
    context.totalTime = request.totalTime;
    context.inputs.push_back(&input);
    if (!secondPicture.empty()) context.inputs.push_back(&second);
    context.output = &output;
    if (!request.aiResult.empty()) context.aiResult = &aiResult;
    for (const auto& param : entry.effect->params) context.values[param.name] = defaultValue(param);
    for (const auto& [name, value] : request.values) context.values[name] = value;

    effect->UpdateParameters(&context);
    result.renderStatus = effect->Render(&context);
    result.output = output.picture();
    return result;
}

}  // namespace qorfx
