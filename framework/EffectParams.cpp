#include "framework/EffectParams.h"

#include <cstdio>

namespace tessel {

namespace {

ParamDiagnosticSink diagnosticSink = nullptr;

void reportKindMismatch(NLEEffectFilter& filter, const char* name, ParamKind kind, uint32_t type) {
    if (!diagnosticSink || !filter.firstKindMismatch()) return;
    char message[256];
    std::snprintf(message, sizeof message,
                  "Effect %s reads parameter \"%s\" as %s, but its description gives type %u; the value is "
                  "ignored. Declare the parameter with TYPE \"%s\" in description.json.",
                  filter.GetGUID(), name, kindName(kind), static_cast<unsigned>(type),
                  kind == ParamKind::Text ? "string" : kindName(kind));
    diagnosticSink(message);
}

template <typename T>
bool readAs(NLEEffectFilter& filter, const char* name, ParamKind kind, T& target) {
    ParamValue value;
    if (!filter.GetParam(name, value)) return false;
    if (!kindAccepts(kind, value.kind)) {
        reportKindMismatch(filter, name, kind, value.kind);
        return false;
    }
    if constexpr (std::is_same_v<T, int32_t>) target = value.asInt();
    else if constexpr (std::is_same_v<T, float>) target = value.asFloat();
    else if constexpr (std::is_same_v<T, double>) target = value.asDouble();
    else target = value.text;
    return true;
}

}  // namespace

const char* kindName(ParamKind kind) {
    switch (kind) {
    case ParamKind::Int: return "int";
    case ParamKind::Float: return "float";
    case ParamKind::Double: return "double";
    case ParamKind::Text: return "text";
    }
    return "?";
}

bool kindAccepts(ParamKind kind, uint32_t type) {
    switch (kind) {
    case ParamKind::Int: return type == toCode(ParamType::Int) || type == toCode(ParamType::Point);
    case ParamKind::Float: return type == toCode(ParamType::Float);
    case ParamKind::Double: return type == toCode(ParamType::Double);
    case ParamKind::Text: return type == toCode(ParamType::String);
    }
    return false;
}

void setParamDiagnosticSink(ParamDiagnosticSink sink) { diagnosticSink = sink; }

bool readDeclared(NLEEffectFilter& filter, const char* name, int32_t& target) {
    return readAs(filter, name, ParamKind::Int, target);
}

bool readDeclared(NLEEffectFilter& filter, const char* name, float& target) {
    return readAs(filter, name, ParamKind::Float, target);
}

bool readDeclared(NLEEffectFilter& filter, const char* name, double& target) {
    return readAs(filter, name, ParamKind::Double, target);
}

bool readDeclared(NLEEffectFilter& filter, const char* name, std::string& target) {
    return readAs(filter, name, ParamKind::Text, target);
}

}  // namespace tessel
