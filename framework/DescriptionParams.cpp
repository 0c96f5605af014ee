#include "framework/DescriptionParams.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

namespace tessel {

using nlohmann::json;

namespace {

std::optional<ParamType> typeFromWord(const std::string& word, DescriptionFormat format) {
    if (word == "float") return ParamType::Float;
    if (word == "int" || word == "point") return ParamType::Int;
    if (word == "string") return ParamType::String;
    if (format == DescriptionFormat::DescriptionJson) {
        if (word == "double") return ParamType::Double;
        if (word == "pointer") return ParamType::Pointer;
    }
    return std::nullopt;
}

ParamValue numericValue(const json& element, const char* key, ParamType type) {
    const auto found = element.find(key);
    if (found == element.end()) {
        switch (type) {
        case ParamType::Float: return ParamValue::ofFloat(0.0f);
        case ParamType::Double: return ParamValue::ofDouble(0.0);
        default: return ParamValue::ofInt(0);
        }
    }
    switch (type) {
    case ParamType::Float: return ParamValue::ofFloat(found->get<float>());
    case ParamType::Double: return ParamValue::ofDouble(found->get<double>());
    default: return ParamValue::ofInt(jsonInt32(*found));
    }
}

// The three limits of a parameter: numbers for numeric types, fixed values for the others.
struct Limits {
    ParamValue minimum, maximum, fallback;
};

Limits limitsFor(const json& element, ParamType type) {
    switch (type) {
    case ParamType::Float:
    case ParamType::Double:
    case ParamType::Int:
        return {numericValue(element, "MIN", type), numericValue(element, "MAX", type),
                numericValue(element, "DEFAULT", type)};
    case ParamType::String:
        return {ParamValue::ofString(""), ParamValue::ofString(""), ParamValue::ofString("")};
    default:
        return {ParamValue::ofPointer(0), ParamValue::ofPointer(0), ParamValue::ofPointer(0)};
    }
}

NLEFilterParamsPtr buildParam(const json& element, DescriptionFormat format) {
    if (!element.is_object()) return nullptr;
    std::string name;
    readString(element, "NAME", name);
    std::string alias = name;
    readString(element, "ALIAS", alias);
    std::string word;
    readString(element, "TYPE", word);
    const auto type = typeFromWord(word, format);
    if (!type) return nullptr;

    auto param = std::make_shared<NLEFilterParams>();
    const Limits limits = limitsFor(element, *type);
    if (format == DescriptionFormat::DescriptionJson) {
        std::string uiName;
        if (readString(element, "UIType", uiName)) param->SetUIType(uiTypeFromName(uiName));
        const auto keyframe = element.find("KEYFRAME");
        if (keyframe != element.end()) param->SetKeyframe(jsonInt32(*keyframe));
    }
    param->SetAlias(alias);
    param->SetName(name);
    param->SetType(toCode(*type));
    param->SetMinMax(limits.minimum, limits.maximum);
    param->SetDefault(limits.fallback);
    param->SetCurrent(limits.fallback);
    return param;
}

}  // namespace

bool readString(const json& object, const char* key, std::string& out) {
    const auto found = object.find(key);
    if (found == object.end()) return false;
    out = found->get<std::string>();
    return true;
}

int32_t jsonInt32(const json& value) {
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (number >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
        if (number <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    }
    return value.get<int32_t>();
}

bool isEmptyValue(const json& value) {
    return value.is_null() || ((value.is_object() || value.is_array()) && value.empty());
}

int32_t decimalPrefix(const std::string& text) { return std::stoi(text, nullptr, 10); }

void buildParams(const json& params, DescriptionFormat format, NLEFilterInfo& info) {
    if (!params.is_array() && !params.is_object()) return;
    int32_t index = 0;
    for (const auto& element : params) {
        auto param = buildParam(element, format);
        if (!param) continue;
        info.SetParamAt(index, std::move(param));
        info.SetParamCount(index + 1);
        ++index;
    }
}

bool readJsonFile(const std::string& path, json& out) {
    out = nullptr;
    std::ifstream stream(std::filesystem::u8path(path), std::ios::binary);
    if (!stream) return false;
    try {
        out = json::parse(stream);
    } catch (const json::exception&) {
        // A syntax error, or a number beyond the range of a double, which the library reports as
        // out_of_range rather than as a parse error.
        out = nullptr;
        return false;
    }
    return true;
}

}  // namespace tessel
