#include "tools/qorfx/Renderer.h"

#include <opencv2/imgproc.hpp>

#include "tools/qorfx/ParamText.h"

namespace qorfx {

namespace {

cv::Mat fitted(const cv::Mat& picture, cv::Size size) {
    if (picture.empty() || picture.size() == size) return picture.clone();
    cv::Mat resized;
    cv::resize(picture, resized, size, 0, 0, cv::INTER_AREA);
    return resized;
}

}  // namespace

EffectChain::EffectChain(ModuleHost& host, std::vector<EffectStage> stages, cv::Size outputSize)
    : host_(host), stages_(std::move(stages)), outputSize_(outputSize) {}

bool EffectChain::create(std::string& error) {
    effects_.clear();
    for (const auto& stage : stages_) {
        int32_t status = 0;
        effects_.push_back(host_.create(stage.entry->effect->guid, 0, &status));
        if (!effects_.back()) {
            error = stage.entry->effect->name + " cannot be created (CreateQOREffect returned " +
                    std::to_string(status) + "): the module registers it but has no effect class for it";
            return false;
        }
    }
    return true;
}

ChainResult EffectChain::render(cv::Mat input, const cv::Mat& second, FrameTimes times) {
    ChainResult result;
    cv::Mat current = std::move(input);
    for (std::size_t i = 0; i < stages_.size(); ++i) {
        const cv::Size size = outputSize_.empty() ? current.size() : outputSize_;
        MatImageBuffer in(current);
        MatImageBuffer out(cv::Mat(size, CV_8UC4, cv::Scalar::all(0)));
        MatImageBuffer other(fitted(second, current.size()));
        MatImageBuffer aiResult(aiResult_);
        FrameContext context;
        context.currentTime = times.current;
        context.totalTime = times.total;
        context.inputs.push_back(&in);
        if (!second.empty()) context.inputs.push_back(&other);
        context.output = &out;
        if (!aiResult_.empty()) context.aiResult = &aiResult;
        for (const auto& param : stages_[i].entry->effect->params) context.values[param.name] = defaultValue(param);
        for (const auto& [name, value] : stages_[i].values) context.values[name] = value;
        QOREffect* effect = effects_[i].get();
        effect->UpdateParameters(&context);
        const int32_t status = effect->Render(&context);
        if (status != 0 && result.ok()) {
            result.refusedStage = static_cast<int>(i);
            result.renderStatus = status;
        }
        if (status == 0) current = out.picture();
    }
    result.output = current;
    return result;
}

}  // namespace qorfx
