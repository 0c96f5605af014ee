#include "framework/NLEFilterParams.h"

#include <algorithm>
#include <cstring>

namespace tessel {

namespace {

constexpr char kFilePrefix[] = "file:/";

}  // namespace

void NLEFilterParams::GetName(char* buffer, std::size_t capacity) const {
    if (!buffer || capacity == 0) return;
    const std::size_t length = std::min(name_.size(), capacity - 1);
    std::memcpy(buffer, name_.data(), length);
    buffer[length] = '\0';
}

void NLEFilterParams::SetMinMax(const ParamValue& minimum, const ParamValue& maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
}

void NLEFilterParams::SetCurrent(const ParamValue& value) {
    current_ = value;
    if (type_ == toCode(ParamType::String)) {
        const auto at = current_.text.find(kFilePrefix);
        if (at != std::string::npos) current_.text.erase(at, sizeof kFilePrefix - 1);
    }
}

ParamValue NLEFilterParams::GetCurrent() const {
    ParamValue value = current_;
    value.kind = type_;
    return value;
}

std::shared_ptr<NLEFilterParams> NLEFilterParams::Copy() const {
    auto copy = std::make_shared<NLEFilterParams>();
    copy->alias_ = alias_;
    copy->name_ = name_;
    copy->type_ = type_;
    copy->uiType_ = uiType_;
    copy->minimum_ = minimum_;
    copy->maximum_ = maximum_;
    copy->default_ = default_;
    copy->SetCurrent(current_);
    return copy;
}

}  // namespace tessel
