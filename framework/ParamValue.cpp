#include "framework/ParamValue.h"

#include "host/QORRenderContext.h"

#include <cstring>
#include <map>

namespace tessel {

namespace {

template <typename T>
ParamValue valueOf(ParamType type, const T& bits) {
    static_assert(sizeof(T) <= 16, "a value fits the 16 data bytes");
    ParamValue value;
    std::memcpy(value.data.data(), &bits, sizeof(T));
    value.kind = toCode(type);
    return value;
}

template <typename T>
T readBytes(const std::array<uint8_t, 16>& data, std::size_t offset = 0) {
    T bits;
    std::memcpy(&bits, data.data() + offset, sizeof(T));
    return bits;
}

}  // namespace

ParamValue ParamValue::ofBool(bool value) { return valueOf<uint8_t>(ParamType::Bool, value ? 1 : 0); }
ParamValue ParamValue::ofDouble(double value) { return valueOf(ParamType::Double, value); }
ParamValue ParamValue::ofFloat(float value) { return valueOf(ParamType::Float, value); }
ParamValue ParamValue::ofInt(int32_t value) { return valueOf(ParamType::Int, value); }
ParamValue ParamValue::ofPointer(uint64_t value) { return valueOf(ParamType::Pointer, value); }
ParamValue ParamValue::ofPoint(int32_t x, int32_t y) { return valueOf(ParamType::Point, QORPoint{x, y}); }

ParamValue ParamValue::ofString(std::string value) {
    ParamValue result;
    result.text = std::move(value);
    result.kind = toCode(ParamType::String);
    return result;
}

double ParamValue::asDouble() const { return readBytes<double>(data); }
float ParamValue::asFloat() const { return readBytes<float>(data); }
int32_t ParamValue::asInt() const { return readBytes<int32_t>(data); }
uint64_t ParamValue::asPointer() const { return readBytes<uint64_t>(data); }
int32_t ParamValue::pointY() const { return readBytes<int32_t>(data, 4); }

uint32_t uiTypeFromName(const std::string& name) {
    static const std::map<std::string, UIType> kNames = {
        {"Color", UIType::Color},           {"CheckBox", UIType::CheckBox},
        {"9Palaces", UIType::NinePalaces},  {"Choice", UIType::Choice},
        {"NoShow", UIType::NoShow},         {"ListMask", UIType::ListMask},
        {"GradientColor", UIType::GradientColor}, {"FilePath", UIType::FilePath},
        {"ListMosaic", UIType::ListMosaic}, {"ColorStart", UIType::ColorStart},
        {"ColorEnd", UIType::ColorEnd},     {"Mult100", UIType::Mult100},
        {"TextEdit", UIType::TextEdit},     {"PointF", UIType::PointF},
    };
    const auto found = kNames.find(name);
    return static_cast<uint32_t>(found == kNames.end() ? UIType::None : found->second);
}

int32_t hostKindForType(uint32_t type) {
    switch (static_cast<ParamType>(type)) {
    case ParamType::Bool: return 7;
    case ParamType::Double: return 6;
    case ParamType::Float: return 5;
    case ParamType::Reserved: return 4;
    case ParamType::Int: return 3;
    case ParamType::String: return 8;
    case ParamType::Pointer: return 9;
    case ParamType::Point: return 12;
    }
    return 0;
}

int paramValueFromHost(const QORParamValue& host, ParamValue& value) {
    const auto& payload = host.payload;
    switch (host.kind) {
    case 3: value = ParamValue::ofInt(payload.i); return 0;
    case 5: value = ParamValue::ofFloat(payload.f); return 0;
    case 6: value = ParamValue::ofDouble(payload.d); return 0;
    case 7: value = valueOf(ParamType::Bool, payload.b); return 0;
    case 8: value = ParamValue::ofString(payload.text ? payload.text : ""); return 0;
    case 9: value = ParamValue::ofPointer(payload.pointer); return 0;
    case 12: value = ParamValue::ofPoint(payload.point.x, payload.point.y); return 0;
    default: return 1;
    }
}

}  // namespace tessel
