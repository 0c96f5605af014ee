#include "tools/qorfx/ParamText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace qorfx {

namespace {

enum class ValueKind { Integer, Real, Colour, Switch, Text };

ValueKind kindOf(ParamWidget widget) {
    switch (widget) {
    case ParamWidget::Float:
    case ParamWidget::Double:
    case ParamWidget::Mult100: return ValueKind::Real;
    case ParamWidget::Color: return ValueKind::Colour;
    case ParamWidget::CheckBox: return ValueKind::Switch;
    case ParamWidget::String:
    case ParamWidget::ListMask: return ValueKind::Text;
    default: return ValueKind::Integer;
    }
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::optional<double> parseInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return static_cast<double>(value);
}

std::optional<double> parseReal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || !std::isfinite(value)) return std::nullopt;
    if (*end == '%' && end[1] == '\0') return value / 100.0;
    if (*end != '\0') return std::nullopt;
    return value;
}

// "#RRGGBB" or any integer (decimal or 0x...). Colours are packed with blue in the low byte.
std::optional<double> parseColour(const std::string& text) {
    if (text.size() == 7 && text[0] == '#') {
        char* end = nullptr;
        const long value = std::strtol(text.c_str() + 1, &end, 16);
        if (*end != '\0') return std::nullopt;
        return static_cast<double>(value);
    }
    return parseInteger(text);
}

std::optional<double> parseSwitch(const std::string& text) {
    const std::string word = lower(text);
    if (word == "1" || word == "true" || word == "on" || word == "yes") return 1.0;
    if (word == "0" || word == "false" || word == "off" || word == "no") return 0.0;
    return std::nullopt;
}

// "V@T,..." where every piece carries an "@": the keyframe form of a setting.
bool looksKeyframed(const std::string& text) {
    if (text.empty() || text.find('@') == std::string::npos) return false;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string piece = text.substr(start, comma - start);
        if (piece.find('@') == std::string::npos || piece.find('@') != piece.rfind('@')) return false;
        start = comma + 1;
    }
    return true;
}

// A keyframe time in seconds: "2.5" seconds or "50f" frames.
std::optional<double> parseKeyTime(std::string text, double fps) {
    const bool frames = !text.empty() && (text.back() == 'f' || text.back() == 'F');
    if (frames) text.pop_back();
    if (text.empty() || text.back() == '%') return std::nullopt;
    const auto value = parseReal(text);
    if (!value) return std::nullopt;
    return frames ? *value / fps : *value;
}

}  // namespace

std::string rangeText(const ParamAnnouncement& param) {
    if (!param.isNumeric()) return "-";
    return number(param.minimum()) + ".." + number(param.maximum());
}

std::string expectedValue(const ParamAnnouncement& param) {
    switch (kindOf(param.widget)) {
    case ValueKind::Integer: return "an integer in " + rangeText(param);
    case ValueKind::Real:
        return param.widget == ParamWidget::Mult100 ? "a number in " + rangeText(param) + " (or a percentage like 50%)"
                                                    : "a number in " + rangeText(param);
    case ValueKind::Colour: return "a colour as #RRGGBB or an integer";
    case ValueKind::Switch: return "on/off (1, 0, true, false)";
    case ValueKind::Text: return "text";
    }
    return "a value";
}

std::string defaultText(const ParamAnnouncement& param) {
    switch (kindOf(param.widget)) {
    case ValueKind::Text: return param.hasText ? "\"" + param.text + "\"" : "(none)";
    case ValueKind::Colour: {
        char text[16];
        std::snprintf(text, sizeof text, "#%06X",
                      static_cast<unsigned>(static_cast<int64_t>(param.defaultValue()) & 0xFFFFFF));
        return text;
    }
    default: return number(param.defaultValue());
    }
}

HostValue defaultValue(const ParamAnnouncement& param) {
    if (kindOf(param.widget) == ValueKind::Text) return HostValue::ofText(param.text);
    return HostValue::ofNumber(param.defaultValue());
}

const char* valueKindName(const ParamAnnouncement& param) {
    switch (kindOf(param.widget)) {
    case ValueKind::Integer: return "integer";
    case ValueKind::Real: return "number";
    case ValueKind::Colour: return "colour";
    case ValueKind::Switch: return "switch";
    case ValueKind::Text: return "text";
    }
    return "?";
}

nlohmann::json presetValue(const ParamAnnouncement& param) {
    switch (kindOf(param.widget)) {
    case ValueKind::Text: return param.text;
    case ValueKind::Colour: return defaultText(param);
    case ValueKind::Switch: return param.defaultValue() != 0.0;
    default: return param.defaultValue();
    }
}

std::optional<ParsedValue> parseParamSetting(const ParamAnnouncement& param, const std::string& text, double fps,
                                             std::string& error) {
    const ValueKind kind = kindOf(param.widget);
    const bool keyed = looksKeyframed(text);
    if (!keyed) return parseParamValue(param, text, error);
    if (kind != ValueKind::Integer && kind != ValueKind::Real) {
        error = param.name + " takes " + expectedValue(param) + " and holds it for the whole clip; keyframes (" +
                text + ") animate number parameters only";
        return std::nullopt;
    }
    std::vector<Keyframe> keys;
    std::string warning;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string piece = text.substr(start, comma - start);
        const std::size_t at = piece.find('@');
        const auto value = at == std::string::npos ? std::nullopt : parseParamValue(param, piece.substr(0, at), error);
        const auto seconds = at == std::string::npos ? std::nullopt : parseKeyTime(piece.substr(at + 1), fps);
        if (!value || !seconds) {
            error = "cannot read the keyframe \"" + piece + "\" of " + param.name +
                    ": write VALUE@SECONDS or VALUE@FRAMEf, for example 0@0,40@2 or 0@0f,40@50f, with " +
                    expectedValue(param) + " as values";
            return std::nullopt;
        }
        if (!keys.empty() && *seconds <= keys.back().seconds) {
            error = "the keyframes of " + param.name + " are out of order: \"" + piece +
                    "\" does not come after the one before it; list them in rising time order";
            return std::nullopt;
        }
        if (warning.empty()) warning = value->warning;
        keys.push_back({*seconds, value->value.number});
        start = comma + 1;
    }
    return ParsedValue{HostValue::ofKeyframes(std::move(keys)), warning};
}

std::optional<ParsedValue> parseParamValue(const ParamAnnouncement& param, const std::string& text,
                                           std::string& error) {
    const ValueKind kind = kindOf(param.widget);
    if (kind == ValueKind::Text) return ParsedValue{HostValue::ofText(text), {}};

    std::optional<double> value;
    switch (kind) {
    case ValueKind::Integer: value = parseInteger(text); break;
    case ValueKind::Real: value = parseReal(text); break;
    case ValueKind::Colour: value = parseColour(text); break;
    case ValueKind::Switch: value = parseSwitch(text); break;
    case ValueKind::Text: break;
    }
    if (!value) {
        error = "cannot read \"" + text + "\" as a value of " + param.name + ": expected " + expectedValue(param);
        return std::nullopt;
    }
    ParsedValue parsed{HostValue::ofNumber(*value), {}};
    const bool ranged = kind == ValueKind::Integer || kind == ValueKind::Real;
    if (ranged && param.minimum() < param.maximum() && (*value < param.minimum() || *value > param.maximum())) {
        parsed.warning = param.name + " = " + text + " lies outside its range " + rangeText(param) +
                         "; passing it on unchanged";
    }
    return parsed;
}

}  // namespace qorfx
