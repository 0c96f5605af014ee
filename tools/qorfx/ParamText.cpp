#include "tools/qorfx/ParamText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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
