#pragma once
// One parameter record of an effect description: name, alias, type, widget kind and its four
// typed values (minimum, maximum, default, current).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/ParamValue.h"

namespace tessel {

class NLEFilterParams {
public:
    const std::string& GetName() const { return name_; }
    // Copies the name into `buffer` of `capacity` bytes: at most capacity-1 characters, NUL-terminated.
    void GetName(char* buffer, std::size_t capacity) const;
    void SetName(std::string name) { name_ = std::move(name); }

    const std::string& GetAlias() const { return alias_; }
    void SetAlias(std::string alias) { alias_ = std::move(alias); }

    uint32_t GetType() const { return type_; }
    void SetType(uint32_t type) { type_ = type; }

    uint32_t GetUIType() const { return uiType_; }
    void SetUIType(uint32_t uiType) { uiType_ = uiType; }

    int32_t GetKeyframe() const { return keyframe_; }
    void SetKeyframe(int32_t keyframe) { keyframe_ = keyframe; }

    void SetMinMax(const ParamValue& minimum, const ParamValue& maximum);
    const ParamValue& GetMin() const { return minimum_; }
    const ParamValue& GetMax() const { return maximum_; }

    void SetDefault(const ParamValue& value) { default_ = value; }
    const ParamValue& GetDefault() const { return default_; }

    // Stores `value` as the current value. A String record drops the first "file:/" from the text,
    // so a host file-picker value becomes a plain path.
    void SetCurrent(const ParamValue& value);
    // The current value, its kind set to the record's type.
    ParamValue GetCurrent() const;

    // A new record with the same alias, name, type, widget kind and values; keyframe starts at 1.
    std::shared_ptr<NLEFilterParams> Copy() const;

private:
    std::string alias_;
    std::string name_;
    uint32_t type_ = 0;
    int32_t keyframe_ = 1;
    uint32_t uiType_ = 0;
    ParamValue minimum_;
    ParamValue maximum_;
    ParamValue default_;
    ParamValue current_;
};

using NLEFilterParamsPtr = std::shared_ptr<NLEFilterParams>;

}  // namespace tessel
