#pragma once
// Parameter records from the "PARAMS" list of a description, shared by the two description formats.

#include <nlohmann/json.hpp>

#include "framework/NLEFilterInfo.h"

namespace tessel {

enum class DescriptionFormat {
    Conf,             // .conf: "float", "int", "point", "string"; no widget kinds or keyframes
    DescriptionJson,  // description.json: also "double" and "pointer", "UIType" and "KEYFRAME"
};

// Builds every parameter element of `params` (an array, or an object whose member values are taken
// in key order) and stores them in `info` at indices 0, 1, ... Elements that are not objects or
// whose "TYPE" is not a word of `format` are dropped and take no index. A numeric parameter gets 0
// for a "MIN", "MAX" or "DEFAULT" it does not give. Raises nlohmann::json::type_error for a key of
// the wrong JSON type.
void buildParams(const nlohmann::json& params, DescriptionFormat format, NLEFilterInfo& info);

// The text of `key` in `object`, if present; raises type_error when it is not a string.
bool readString(const nlohmann::json& object, const char* key, std::string& out);

// A JSON number (or true/false) as a 32-bit int: fractions are cut toward zero, and a floating-point
// number beyond the int range saturates, where a plain conversion would be undefined. Raises
// type_error for any other JSON type.
int32_t jsonInt32(const nlohmann::json& value);

// True for null, {} and [], the values that describe nothing.
bool isEmptyValue(const nlohmann::json& value);

// The decimal integer at the start of `text` (std::stoi rules: blanks and a sign allowed, stops at
// the first non-digit); raises std::invalid_argument or std::out_of_range.
int32_t decimalPrefix(const std::string& text);

// Reads and parses a JSON file; false (and `out` null) when it cannot be opened or parsed, a number
// too large for a double included. Raises nothing.
bool readJsonFile(const std::string& path, nlohmann::json& out);

}  // namespace tessel
