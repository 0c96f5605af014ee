#pragma once
// The .conf description format: a JSON object with identity, OpenCL/OpenGL files, flags and
// parameters, used when a host registers an effect from a folder.

#include <string>

#include <nlohmann/json.hpp>

#include "framework/NLEFilterInfo.h"

namespace tessel {

// The effect identifier that "ALGORITHM_TYPE": "256" makes a description depend on (skin detection).
extern const char* const kSkinDetectionGuid;

// Reads and builds a .conf file; empty when it cannot be opened, is no JSON or describes nothing.
// Raises the builder's errors.
NLEFilterInfoPtr readConfDescription(const std::string& path);

// Builds the description record from a parsed .conf. `folder` is the description's folder with
// its trailing separator. Empty for null, {}, [] or a missing or empty "GUID". Raises
// nlohmann::json::type_error for a key of the wrong JSON type and std::invalid_argument /
// std::out_of_range for a "DYNAMIC" or "ENCRYPT" that is no number.
NLEFilterInfoPtr buildConfDescription(const nlohmann::json& root, const std::string& folder);

}  // namespace tessel
