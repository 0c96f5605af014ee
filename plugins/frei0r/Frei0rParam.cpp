#include "plugins/frei0r/Frei0rParam.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "tools/qorfx/ParamText.h"

namespace qorfrei0r {

namespace {

using qorfx::ParamWidget;

int frei0rTypeOf(ParamWidget widget) {
    switch (widget) {
    case ParamWidget::CheckBox: return F0R_PARAM_BOOL;
    case ParamWidget::Color: return F0R_PARAM_COLOR;
    case ParamWidget::String:
    case ParamWidget::ListMask: return F0R_PARAM_STRING;
    default: return F0R_PARAM_DOUBLE;
    }
}

// Six significant digits: announced floats such as 0.69999999 read as the 0.7 they stand for.
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

double unitInterval(double number) { return std::isfinite(number) ? std::clamp(number, 0.0, 1.0) : 0.0; }

float colourComponent(uint32_t packed, int shift) { return static_cast<float>((packed >> shift) & 0xFF) / 255.0f; }

uint32_t colourByte(float component) {
    return static_cast<uint32_t>(std::lround(unitInterval(component) * 255.0));
}

}  // namespace

Frei0rParam::Frei0rParam(const qorfx::ParamAnnouncement& announced)
    : name_(announced.name), type_(frei0rTypeOf(announced.widget)) {
    if (announced.isNumeric()) {
        minimum_ = announced.minimum();
        maximum_ = announced.maximum();
        default_ = fromHost(announced.defaultValue());
    }
    default_.text = announced.text;

    switch (type_) {
    case F0R_PARAM_BOOL: explanation_ = name_ + " on/off, default " + (default_.number != 0.0 ? "on" : "off"); break;
    case F0R_PARAM_COLOR: explanation_ = name_ + " colour, default " + qorfx::defaultText(announced); break;
    case F0R_PARAM_STRING: explanation_ = name_ + " text, default " + qorfx::defaultText(announced); break;
    default:
        explanation_ = name_ + " " + number(minimum_) + ".." + number(maximum_) + ", default " +
                       number(announced.defaultValue());
        break;
    }
    if (announced.visibility() == 1) explanation_ += " (an editor sets it itself)";
}

Frei0rValue Frei0rParam::fromHost(double number) const {
    Frei0rValue value;
    if (type_ == F0R_PARAM_COLOR) {
        const auto packed = static_cast<uint32_t>(static_cast<int64_t>(number));
        value.colour = {colourComponent(packed, 16), colourComponent(packed, 8), colourComponent(packed, 0)};
    } else if (type_ == F0R_PARAM_BOOL) {
        value.number = number != 0.0 ? 1.0 : 0.0;
    } else if (maximum_ != minimum_) {
        value.number = unitInterval((number - minimum_) / (maximum_ - minimum_));
    }
    return value;
}

qorfx::HostValue Frei0rParam::toHost(const Frei0rValue& value) const {
    switch (type_) {
    case F0R_PARAM_STRING: return qorfx::HostValue::ofText(value.text);
    case F0R_PARAM_BOOL: return qorfx::HostValue::ofNumber(value.number >= 0.5 ? 1.0 : 0.0);
    case F0R_PARAM_COLOR:
        return qorfx::HostValue::ofNumber(static_cast<double>(colourByte(value.colour.r) << 16 |
                                                              colourByte(value.colour.g) << 8 |
                                                              colourByte(value.colour.b)));
    default: return qorfx::HostValue::ofNumber(minimum_ + unitInterval(value.number) * (maximum_ - minimum_));
    }
}

void Frei0rParam::read(const void* hostValue, Frei0rValue& value) const {
    if (!hostValue) return;
    switch (type_) {
    case F0R_PARAM_STRING: {
        const char* text = *static_cast<const f0r_param_string*>(hostValue);
        value.text = text ? text : "";
        break;
    }
    case F0R_PARAM_COLOR: value.colour = *static_cast<const f0r_param_color_t*>(hostValue); break;
    default: value.number = unitInterval(*static_cast<const double*>(hostValue)); break;
    }
}

void Frei0rParam::write(const Frei0rValue& value, void* hostValue) const {
    if (!hostValue) return;
    switch (type_) {
    case F0R_PARAM_STRING: *static_cast<const char**>(hostValue) = value.text.c_str(); break;
    case F0R_PARAM_COLOR: *static_cast<f0r_param_color_t*>(hostValue) = value.colour; break;
    default: *static_cast<double*>(hostValue) = value.number; break;
    }
}

}  // namespace qorfrei0r
