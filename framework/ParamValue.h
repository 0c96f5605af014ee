#pragma once
// Typed parameter values shared by descriptions, the host boundary and the effects.

#include <array>
#include <cstdint>
#include <string>

struct QORParamValue;

namespace tessel {

// Parameter type codes as descriptions and hosts exchange them.
enum class ParamType : uint32_t {
    Bool = 1,
    Double = 2,
    Float = 3,
    Reserved = 4,
    Int = 5,
    String = 6,
    Pointer = 7,
    Point = 8,
};

constexpr uint32_t toCode(ParamType type) { return static_cast<uint32_t>(type); }

// A value of any parameter type: 16 data bytes laid out by type (unused bytes are 0), the text of
// a String value, and the type code.
struct ParamValue {
    std::array<uint8_t, 16> data{};
    std::string text;
    uint32_t kind = 0;

    static ParamValue ofBool(bool value);
    static ParamValue ofDouble(double value);
    static ParamValue ofFloat(float value);
    static ParamValue ofInt(int32_t value);
    static ParamValue ofString(std::string value);
    static ParamValue ofPointer(uint64_t value);
    static ParamValue ofPoint(int32_t x, int32_t y);

    // Reads the data bytes as the given type, whatever `kind` says (effects read the bytes as the
    // type they expect, without conversion).
    bool asBool() const { return data[0] != 0; }
    double asDouble() const;
    float asFloat() const;
    int32_t asInt() const;
    uint64_t asPointer() const;
    int32_t pointX() const { return asInt(); }
    int32_t pointY() const;
};

// Widget kinds of the host, named in descriptions by their "UIType" text.
enum class UIType : uint32_t {
    None = 0,
    Color = 1,
    CheckBox = 2,
    NinePalaces = 3,
    Choice = 5,
    NoShow = 9,
    ListMask = 13,
    GradientColor = 14,
    FilePath = 18,
    ListMosaic = 21,
    ColorStart = 22,
    ColorEnd = 23,
    Mult100 = 25,
    TextEdit = 26,
    PointF = 27,
};

// Exact, case-sensitive name lookup; an unknown or empty name gives UIType::None (0).
uint32_t uiTypeFromName(const std::string& name);

// The host value kind asked for a parameter type (1 -> 7, 2 -> 6, 3 -> 5, 4 -> 4, 5 -> 3, 6 -> 8,
// 7 -> 9, 8 -> 12).
int32_t hostKindForType(uint32_t type);

// Converts a host value into `value` and returns 0; returns 1 and leaves `value` alone for a kind
// that has no parameter type (4, 10, 11, below 3, above 12).
int paramValueFromHost(const QORParamValue& host, ParamValue& value);

}  // namespace tessel
