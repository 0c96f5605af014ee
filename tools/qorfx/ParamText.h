#pragma once
// Turning the text a user types after -p NAME=VALUE into the value of an announced parameter.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/qorfx/FrameContext.h"
#include "tools/qorfx/HostRegistrar.h"

namespace qorfx {

struct ParsedValue {
    HostValue value;
    std::string warning;  // set when the value lies outside the announced range
};

// Parses `text` by the parameter's announced widget. On failure returns nothing and explains in
// `error` what was expected.
std::optional<ParsedValue> parseParamValue(const ParamAnnouncement& param, const std::string& text,
                                           std::string& error);

// Parses a setting: one value, or for a number parameter keyframes "V0@T0,V1@T1,..." with times
// in seconds or, with an "f" suffix, in frames at `fps`. Texts hold one value.
std::optional<ParsedValue> parseParamSetting(const ParamAnnouncement& param, const std::string& text, double fps,
                                             std::string& error);

// The kind of value the parameter takes: "integer", "number", "colour", "switch" or "text".
const char* valueKindName(const ParamAnnouncement& param);

// The announced default as a preset file writes it: a number, "#RRGGBB", true/false or a text.
nlohmann::json presetValue(const ParamAnnouncement& param);

// What a parameter takes, for messages and `describe`: "integer 0..100", "colour #RRGGBB", ...
std::string expectedValue(const ParamAnnouncement& param);

// The announced range, "min..max", for numeric parameters; "-" for the others.
std::string rangeText(const ParamAnnouncement& param);

// The announced default as a user would type it.
std::string defaultText(const ParamAnnouncement& param);

// The announced default as the host serves it before the user changes anything.
HostValue defaultValue(const ParamAnnouncement& param);

}  // namespace qorfx
