#pragma once
// The effects this module implements: GUID -> algorithm type. Only descriptions whose GUID is
// listed here are registered; the algorithm type selects the effect class.

#include <cstdint>
#include <map>
#include <string>

namespace tessel::qorCommonFxPlugin {

extern const std::map<std::string, int32_t> BuiltinEffectTypes;

// The two colour-matching effects, the only ones whose output skin protection changes.
inline constexpr const char* kMatchColorGuid = "718F5DC3-D828-48BF-B7CF-135474EF64A4";
inline constexpr const char* kMatchColorV2Guid = "779373A8-DBFA-41CD-BD17-741C46015D49";

}  // namespace tessel::qorCommonFxPlugin
