#include "tools/qorfx/FrameContext.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace qorfx {

namespace {

// Integers are taken modulo 2^32, so packed colours such as 0xFFFF0000 pass as their bit pattern.
int32_t asInt32(double number) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(std::llround(number))));
}

}  // namespace

double HostValue::numberAt(double seconds) const {
    if (keyframes.empty()) return number;
    if (seconds <= keyframes.front().seconds) return keyframes.front().value;
    for (std::size_t i = 1; i < keyframes.size(); ++i) {
        const Keyframe& before = keyframes[i - 1];
        const Keyframe& after = keyframes[i];
        if (seconds < after.seconds) {
            const double share = (seconds - before.seconds) / (after.seconds - before.seconds);
            return before.value + (after.value - before.value) * share;
        }
    }
    return keyframes.back().value;
}

QORImageBuffer* FrameContext::GetInput(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(inputs.size())) return nullptr;
    return inputs[static_cast<std::size_t>(index)];
}

int32_t FrameContext::GetParamValue(const char* name, int64_t time, QORParamValue* value) {
    if (!name || !value) return 1;
    queries.push_back({name, value->kind, time});
    const auto found = values.find(name);
    if (found == values.end()) return 1;
    const HostValue& stored = found->second;
    const double number = stored.numberAt(static_cast<double>(time) / kTimeUnitsPerSecond);
    auto& payload = value->payload;
    switch (value->kind) {
    case 3: payload.i = asInt32(number); return 0;
    case 5: payload.f = static_cast<float>(number); return 0;
    case 6: payload.d = number; return 0;
    case 7: payload.b = number != 0.0 ? 1 : 0; return 0;
    case 8: payload.text = stored.text.c_str(); return 0;
    case 9: payload.pointer = static_cast<uint64_t>(number); return 0;
    default: return 1;
    }
}

QORImageBuffer* FrameContext::GetAiResult(int32_t index, const char*) { return index == 0 ? aiResult : nullptr; }

void FrameContext::GetSourceFrame(std::shared_ptr<QORImageBuffer>* frame, int32_t index, int32_t width,
                                  int32_t height) {
    QORImageBuffer* source = GetInput(index);
    if (!frame || !source || !source->GetData() || width <= 0 || height <= 0) return;
    const cv::Mat input(source->GetHeight(), source->GetWidth(), CV_8UC4, source->GetData(),
                        static_cast<std::size_t>(source->GetStride()));
    cv::Mat scaled;
    cv::resize(input, scaled, cv::Size(width, height), 0, 0, cv::INTER_LINEAR);
    *frame = std::make_shared<MatImageBuffer>(scaled);
}

}  // namespace qorfx
