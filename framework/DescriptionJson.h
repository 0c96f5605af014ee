#pragma once
// "description.json": the JSON description of one effect (identity, shader files, textures,
// parameters with widget kinds and keyframe flags).

#include <nlohmann/json.hpp>

#include "framework/NLEFilterInfo.h"

namespace tessel {

// Builds the description record from a parsed "description.json". `folder` is the effect folder
// followed by "/", prefixed to the shader and texture file names. Empty when the value is null, {},
// [] or has no non-empty "GUID". Raises nlohmann::json::type_error for a key of the wrong JSON type
// and std::invalid_argument / std::out_of_range for a "DYNAMIC" or "ENCRYPT" that is no number.
NLEFilterInfoPtr buildDescriptionJson(const nlohmann::json& root, const std::string& folder);

}  // namespace tessel
