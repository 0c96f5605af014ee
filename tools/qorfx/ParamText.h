#pragma once
// Turning the text a user types after -p NAME=VALUE into the value of an announced parameter.

#include <optional>
#include <string>

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

// What a parameter takes, for messages and `describe`: "integer 0..100", "colour #RRGGBB", ...
std::string expectedValue(const ParamAnnouncement& param);

// The announced range, "min..max", for numeric parameters; "-" for the others.
std::string rangeText(const ParamAnnouncement& param);

// The announced default as a user would type it.
std::string defaultText(const ParamAnnouncement& param);

// The announced default as the host serves it before the user changes anything.
HostValue defaultValue(const ParamAnnouncement& param);

}  // namespace qorfx
