#pragma once
// Reading effect parameters into their members. Each effect lists its parameters once, with the
// member each lands in; the member's type says how the value bytes are read (32-bit int, 32-bit
// float, double, or text). A parameter the effect does not have leaves its member unchanged, so
// members start at the effect's own defaults.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

#include "framework/NLEEffectFilter.h"

namespace tessel {

using ParamTarget = std::variant<int32_t*, float*, double*, std::string*>;

struct ParamField {
    const char* name;
    ParamTarget target;
};

// Reads one parameter into `target`; false (target unchanged) when the effect has no such parameter.
bool readParam(const NLEEffectFilter& filter, const char* name, ParamTarget target);

// Reads every listed parameter.
void readParams(const NLEEffectFilter& filter, std::initializer_list<ParamField> fields);

}  // namespace tessel
