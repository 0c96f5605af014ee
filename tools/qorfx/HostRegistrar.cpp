#include "tools/qorfx/HostRegistrar.h"

namespace qorfx {

namespace {

std::string textOf(const char* text) { return text ? text : ""; }

}  // namespace

const char* widgetName(ParamWidget widget) {
    switch (widget) {
    case ParamWidget::Float: return "float";
    case ParamWidget::Int: return "int";
    case ParamWidget::Color: return "color";
    case ParamWidget::CheckBox: return "checkbox";
    case ParamWidget::String: return "string";
    case ParamWidget::Double: return "double";
    case ParamWidget::NinePalaces: return "nine-palaces";
    case ParamWidget::ListMask: return "list-mask";
    case ParamWidget::ListMosaic: return "list-mosaic";
    case ParamWidget::ColorStart: return "color-start";
    case ParamWidget::ColorEnd: return "color-end";
    case ParamWidget::Mult100: return "percent";
    }
    return "?";
}

// Colour parameters arrive as (default, min, max); every other numeric one as (min, max, default).
double ParamAnnouncement::minimum() const {
    if (numbers.size() < 3) return 0.0;
    return widget == ParamWidget::Color ? numbers[1] : numbers[0];
}

double ParamAnnouncement::maximum() const {
    if (numbers.size() < 3) return 0.0;
    return widget == ParamWidget::Color ? numbers[2] : numbers[1];
}

double ParamAnnouncement::defaultValue() const {
    if (numbers.size() < 3) return 0.0;
    return widget == ParamWidget::Color ? numbers[0] : numbers[2];
}

const ParamAnnouncement* EffectAnnouncement::findParam(const std::string& paramName) const {
    for (const auto& param : params) {
        if (param.name == paramName) return &param;
    }
    return nullptr;
}

int32_t HostRegistrar::SetIdentity(const char* guid, const char* name) {
    effects.push_back({textOf(guid), textOf(name), 0, {}, {}});
    return 0;
}

int32_t HostRegistrar::SetFlags(uint32_t flags) {
    if (effects.empty()) return unexpected();
    effects.back().flags = flags;
    return 0;
}

int32_t HostRegistrar::record(ParamWidget widget, int32_t minusOne, int32_t index, const char* name,
                              const char* name2, std::vector<double> numbers, int32_t trailing) {
    if (effects.empty()) return unexpected();
    ParamAnnouncement param{widget, minusOne, index, textOf(name), textOf(name2), std::move(numbers), false, {},
                            trailing, 0};
    effects.back().params.push_back(std::move(param));
    return 0;
}

int32_t HostRegistrar::recordText(ParamWidget widget, int32_t minusOne, int32_t index, const char* name,
                                  const char* name2, const char* text, int32_t trailing) {
    if (record(widget, minusOne, index, name, name2, {}, trailing) != 0 || effects.empty()) return 0;
    auto& param = effects.back().params.back();
    param.hasText = text != nullptr;
    param.text = textOf(text);
    return 0;
}

int32_t HostRegistrar::AddFloatParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                     float min, float max, float def, int32_t visibility) {
    return record(ParamWidget::Float, minusOne, index, name, name2, {min, max, def}, visibility);
}

int32_t HostRegistrar::AddIntParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                   int32_t min, int32_t max, int32_t def, int32_t one, int32_t visibility) {
    record(ParamWidget::Int, minusOne, index, name, name2, {double(min), double(max), double(def)}, visibility);
    if (!effects.empty() && !effects.back().params.empty()) effects.back().params.back().one = one;
    return 0;
}

int32_t HostRegistrar::AddColorParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                     int32_t def, int32_t min, int32_t max, int32_t visibility) {
    return record(ParamWidget::Color, minusOne, index, name, name2, {double(def), double(min), double(max)},
                  visibility);
}

int32_t HostRegistrar::AddCheckBoxParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                        int32_t min, int32_t max, int32_t def, int32_t visibility) {
    return record(ParamWidget::CheckBox, minusOne, index, name, name2, {double(min), double(max), double(def)},
                  visibility);
}

int32_t HostRegistrar::AddStringParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                      const char* text, int32_t zero) {
    return recordText(ParamWidget::String, minusOne, index, name, name2, text, zero);
}

int32_t HostRegistrar::AddDoubleParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                      double min, double max, double def, int32_t visibility) {
    return record(ParamWidget::Double, minusOne, index, name, name2, {min, max, def}, visibility);
}

int32_t HostRegistrar::AddNinePalacesParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                           int32_t min, int32_t max, int32_t def, int32_t zero) {
    return record(ParamWidget::NinePalaces, minusOne, index, name, name2, {double(min), double(max), double(def)},
                  zero);
}

int32_t HostRegistrar::AddListMaskParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                        const char* text, int32_t zero) {
    return recordText(ParamWidget::ListMask, minusOne, index, name, name2, text, zero);
}

int32_t HostRegistrar::AddListMosaicParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                          int32_t min, int32_t max, int32_t def, int32_t zero) {
    return record(ParamWidget::ListMosaic, minusOne, index, name, name2, {double(min), double(max), double(def)},
                  zero);
}

int32_t HostRegistrar::AddColorStartParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                          int32_t min, int32_t max, int32_t def, int32_t visibility) {
    return record(ParamWidget::ColorStart, minusOne, index, name, name2, {double(min), double(max), double(def)},
                  visibility);
}

int32_t HostRegistrar::AddColorEndParam(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                        int32_t min, int32_t max, int32_t def, int32_t visibility) {
    return record(ParamWidget::ColorEnd, minusOne, index, name, name2, {double(min), double(max), double(def)},
                  visibility);
}

int32_t HostRegistrar::AddMult100Param(int32_t minusOne, int32_t index, const char* name, const char* name2,
                                       float min, float max, float def, int32_t visibility) {
    return record(ParamWidget::Mult100, minusOne, index, name, name2, {min, max, def}, visibility);
}

int32_t HostRegistrar::AddDependentEffect(const char* guid) {
    if (effects.empty()) return unexpected();
    effects.back().dependentEffects.push_back(textOf(guid));
    return 0;
}

}  // namespace qorfx
