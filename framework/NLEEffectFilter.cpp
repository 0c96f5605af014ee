#include "framework/NLEEffectFilter.h"

namespace tessel {

std::string parameterKey(const std::string& name) { return name.substr(0, NLEEffectFilter::kMaxParamNameLength); }

NLEEffectFilter::NLEEffectFilter(NLEFilterInfoPtr info) : identifier_(info->GetGUID()) {
    for (int32_t i = 0; i < info->GetParamCount(); ++i) {
        const auto param = info->GetParamAt(i);
        if (!param) continue;
        auto copy = param->Copy();
        // emplace keeps the earlier record when two names agree in their first 37 characters.
        ParameterTable.emplace(parameterKey(copy->GetName()), std::move(copy));
    }
}

int32_t NLEEffectFilter::SetParameter(const char* name, uint32_t type, ParamValue value) {
    const std::string key = name ? name : "";
    auto& record = ParameterTable[key];
    if (!record) {
        record = std::make_shared<NLEFilterParams>();
        record->SetType(type);
        record->SetName(key);
        record->SetAlias(key);
    }
    record->SetCurrent(value);
    return 0;
}

int32_t NLEEffectFilter::GetParameter(const char* name, uint32_t* type, ParamValue* value) {
    if (!name) return 1;
    const auto found = ParameterTable.find(name);
    if (found == ParameterTable.end()) return 1;
    if (type) *type = found->second->GetType();
    if (value) *value = found->second->GetCurrent();
    return 0;
}

bool NLEEffectFilter::GetParam(const char* name, ParamValue& value) const {
    if (!name) return false;
    const auto found = ParameterTable.find(name);
    if (found == ParameterTable.end()) return false;
    value = found->second->GetCurrent();
    return true;
}

int32_t NLEEffectFilter::TransformChannels(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                           uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                           int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                           int32_t srcStride, int32_t dstChannels, int32_t secondChannels,
                                           int32_t srcChannels) {
    if (dstChannels != 4 || secondChannels != 4 || srcChannels != 4) return 1;
    return Transform(dst, dstWidth, dstHeight, dstStride, second, secondWidth, secondHeight, secondStride, src,
                     srcWidth, srcHeight, srcStride);
}

int32_t NLEEffectFilter::SetROI(const float* rect) {
    if (rect) roi_ = {rect[0], rect[1], rect[2], rect[3]};
    return 0;
}

bool NLEEffectFilter::QueryCapability() { return false; }

void NLEEffectFilter::SetSwitches(bool first, bool second) {
    switches_[0] = first;
    switches_[1] = second;
}

int32_t NLEEffectFilter::SetTotalTime(uint32_t time) {
    totalTime_ = time;
    return 0;
}

int32_t NLEEffectFilter::SetCurrentTime(uint32_t time) {
    currentTime_ = time;
    return 0;
}

int32_t NLEEffectFilter::SetFrameRate(uint64_t numerator, uint64_t denominator) {
    frameRateNumerator_ = numerator;
    frameRateDenominator_ = denominator;
    return 0;
}

}  // namespace tessel
