#pragma once
// Base class of every image effect. An effect instance keeps its own copies of the description's
// parameter records; the host-facing object pushes values with SetParameter and calls Transform
// once per frame. Concrete effects override only the destructor and Transform.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "framework/NLEFilterInfo.h"

namespace tessel {

class NLEEffectFilter {
public:
    // Parameter names are table keys of at most this many characters; longer names are cut.
    static constexpr std::size_t kMaxParamNameLength = 37;

    explicit NLEEffectFilter(NLEFilterInfoPtr info);
    virtual ~NLEEffectFilter() = default;

    // Stores `value` as the current value of parameter `name`, creating a record of type `type`
    // when the effect has none of that name. Always 0.
    virtual int32_t SetParameter(const char* name, uint32_t type, ParamValue value);
    // 0 with the record's type and current value, or 1 (outputs untouched) for an unknown name.
    virtual int32_t GetParameter(const char* name, uint32_t* type, ParamValue* value);

    // Renders one frame: destination, second input (may be null with zero sizes), main input, each
    // as (pixels, width, height, stride in bytes); 8-bit BGRA. 0 on success, non-zero on failure.
    virtual int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                              uint8_t* second, int32_t secondWidth, int32_t secondHeight, int32_t secondStride,
                              uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcStride) = 0;
    // Transform for four-channel buffers only: 1 for any other channel count.
    virtual int32_t TransformChannels(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                      uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                      int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                      int32_t srcStride, int32_t dstChannels, int32_t secondChannels,
                                      int32_t srcChannels);
    virtual int32_t SetROI(const float* rect);
    virtual bool QueryCapability();
    virtual void SetSwitches(bool first, bool second);
    virtual int32_t SetTotalTime(uint32_t time);
    virtual int32_t SetCurrentTime(uint32_t time);
    virtual int32_t SetFrameRate(uint64_t numerator, uint64_t denominator);

    // Copies the current value of `name` into `value`; false (value untouched) for an unknown name.
    bool GetParam(const char* name, ParamValue& value) const;
    const char* GetGUID() const { return identifier_.c_str(); }
    // True on the first call for this object only: a parameter whose description type does not
    // match what the effect reads is reported once, not on every frame.
    bool firstKindMismatch() { return !std::exchange(kindMismatchReported_, true); }

    struct Rect {
        float x, y, width, height;
    };
    Rect GetROI() const { return roi_; }
    uint32_t GetTotalTime() const { return totalTime_; }
    uint32_t GetCurrentTime() const { return currentTime_; }
    uint64_t GetFrameRateNumerator() const { return frameRateNumerator_; }
    uint64_t GetFrameRateDenominator() const { return frameRateDenominator_; }

protected:
    using ParameterMap = std::map<std::string, NLEFilterParamsPtr>;
    ParameterMap ParameterTable;

private:
    Rect roi_{0.0f, 0.0f, 1.0f, 1.0f};
    bool switches_[2] = {false, false};
    uint32_t totalTime_ = 0;
    uint32_t currentTime_ = 0;
    uint64_t frameRateNumerator_ = 25;
    uint64_t frameRateDenominator_ = 1;
    std::string identifier_;
    bool kindMismatchReported_ = false;
};

// Cuts a parameter name to the length used as a table key.
std::string parameterKey(const std::string& name);

}  // namespace tessel
