#pragma once
// Building an effect on a bare description, setting its parameters and calling Transform with
// frames, as the host-facing object does.

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "framework/Frame.h"
#include "framework/NLEEffectFilter.h"

namespace qortest {

template <class Effect>
std::unique_ptr<Effect> makeEffect() {
    return std::make_unique<Effect>(std::make_shared<tessel::NLEFilterInfo>());
}

inline void setInt(tessel::NLEEffectFilter& effect, const std::string& name, int32_t value) {
    effect.SetParameter(name.c_str(), tessel::toCode(tessel::ParamType::Int), tessel::ParamValue::ofInt(value));
}

inline void setFloat(tessel::NLEEffectFilter& effect, const std::string& name, float value) {
    effect.SetParameter(name.c_str(), tessel::toCode(tessel::ParamType::Float), tessel::ParamValue::ofFloat(value));
}

inline void setText(tessel::NLEEffectFilter& effect, const std::string& name, const std::string& text) {
    effect.SetParameter(name.c_str(), tessel::toCode(tessel::ParamType::String), tessel::ParamValue::ofString(text));
}

inline void setInts(tessel::NLEEffectFilter& effect, std::initializer_list<std::pair<const char*, int32_t>> values) {
    for (const auto& [name, value] : values) setInt(effect, name, value);
}

inline void setFloats(tessel::NLEEffectFilter& effect, std::initializer_list<std::pair<const char*, float>> values) {
    for (const auto& [name, value] : values) setFloat(effect, name, value);
}

// Transform with the argument order of the host: destination, second input, main input.
inline int32_t render(tessel::NLEEffectFilter& effect, const tessel::Frame& out, const tessel::Frame& second,
                      const tessel::Frame& in) {
    return effect.Transform(out.data, out.width, out.height, out.stride, second.data, second.width, second.height,
                            second.stride, in.data, in.width, in.height, in.stride);
}

inline int32_t render(tessel::NLEEffectFilter& effect, const tessel::Frame& out, const tessel::Frame& in) {
    return render(effect, out, tessel::Frame{}, in);
}

}  // namespace qortest
