#pragma once
// The host's side of one frame: image buffers over OpenCV matrices and a render context that
// serves parameter values and times.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "host/QORRenderContext.h"

namespace qorfx {

// A BGRA picture (CV_8UC4) seen through the host's image buffer interface, with its real stride.
class MatImageBuffer final : public QORImageBuffer {
public:
    explicit MatImageBuffer(cv::Mat picture) : picture_(std::move(picture)) {}
    int32_t GetWidth() override { return picture_.cols; }
    int32_t GetHeight() override { return picture_.rows; }
    int32_t GetStride() override { return static_cast<int32_t>(picture_.step[0]); }
    uint8_t* GetData() override { return picture_.data; }

    cv::Mat& picture() { return picture_; }

private:
    cv::Mat picture_;
};

struct Keyframe {
    double seconds;
    double value;
};

// A parameter value as the host keeps it; handed out in whichever kind the module asks for.
// A numeric value may be animated by keyframes in rising time order.
struct HostValue {
    double number = 0.0;
    std::string text;
    bool isText = false;
    std::vector<Keyframe> keyframes;

    static HostValue ofNumber(double value) { return {value, {}, false, {}}; }
    static HostValue ofText(std::string value) { return {0.0, std::move(value), true, {}}; }
    static HostValue ofKeyframes(std::vector<Keyframe> keys) { return {keys.front().value, {}, false, std::move(keys)}; }

    // The value at `seconds`: linear between keyframes, held before the first and after the last.
    double numberAt(double seconds) const;
};

// Times the host hands to the module (GetCurrentTime, GetParamValue) count milliseconds.
constexpr double kTimeUnitsPerSecond = 1000.0;

class FrameContext : public QORRenderContext {
public:
    int64_t currentTime = 0;
    int32_t totalTime = 0;
    std::vector<QORImageBuffer*> inputs;  // 0 main input, 1 second input; entries may be null
    QORImageBuffer* output = nullptr;
    QORImageBuffer* aiResult = nullptr;  // a one-channel mask served for every AI GUID, or null
    std::map<std::string, HostValue> values;
    // Every parameter the module asked for, with the kind and time it asked with.
    struct Query {
        std::string name;
        int32_t kind;
        int64_t time;
    };
    std::vector<Query> queries;

    int64_t GetCurrentTime() override { return currentTime; }
    int32_t GetTotalTime() override { return totalTime; }
    int32_t GetInputCount() override { return static_cast<int32_t>(inputs.size()); }
    QORImageBuffer* GetInput(int32_t index) override;
    QORImageBuffer* GetOutput() override { return output; }
    int32_t GetParamValue(const char* name, int64_t time, QORParamValue* value) override;
    QORImageBuffer* GetAiResult(int32_t index, const char* guid) override;
    // The main input scaled to width x height (bilinear); left empty without a main input.
    void GetSourceFrame(std::shared_ptr<QORImageBuffer>* frame, int32_t index, int32_t width, int32_t height) override;
};

}  // namespace qorfx
