#include "tools/qorfx/EffectSettings.h"

#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "tools/qorfx/ParamText.h"
#include "tools/qorfx/Session.h"

namespace qorfx {

namespace {

std::string parameterList(const EffectAnnouncement& effect) {
    std::string known;
    for (const auto& param : effect.params) known += (known.empty() ? "" : ", ") + param.name;
    return known.empty() ? "(none)" : known;
}

bool addSetting(const EffectAnnouncement& effect, const std::string& name, const std::string& text, double fps,
                ParamValues& values, std::string& error) {
    const ParamAnnouncement* param = effect.findParam(name);
    if (!param) {
        error = effect.name + " has no parameter \"" + name + "\"; its parameters are: " + parameterList(effect);
        return false;
    }
    const auto parsed = parseParamSetting(*param, text, fps, error);
    if (!parsed) return false;
    if (!parsed->warning.empty()) warn(parsed->warning);
    values[name] = parsed->value;
    return true;
}

// A preset value as -p would take it: numbers in full precision, switches as on/off, texts as written.
bool presetText(const nlohmann::json& value, std::string& text) {
    if (value.is_string()) {
        text = value.get<std::string>();
    } else if (value.is_boolean()) {
        text = value.get<bool>() ? "on" : "off";
    } else if (value.is_number_integer()) {
        text = std::to_string(value.get<long long>());
    } else if (value.is_number()) {
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", value.get<double>());
        text = number;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool addAssignment(const EffectAnnouncement& effect, const std::string& assignment, double fps, ParamValues& values,
                   std::string& error) {
    const auto equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
        error = "parameter \"" + assignment + "\" must be written NAME=VALUE";
        return false;
    }
    return addSetting(effect, assignment.substr(0, equals), assignment.substr(equals + 1), fps, values, error);
}

bool addPreset(const EffectAnnouncement& effect, const std::string& path, double fps, ParamValues& values,
               std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the preset " + path + ": no such file, or it is not readable";
        return false;
    }
    nlohmann::json root = nlohmann::json::parse(file, nullptr, false);
    // The output of `qorfx describe --json` carries its preset under "preset".
    if (root.is_object() && root.contains("preset") && root.contains("guid")) root = root["preset"];
    if (!root.is_object()) {
        error = "the preset " + path + " is not a JSON object of NAME: VALUE pairs; `qorfx describe --json " +
                effect.name + "` prints one under \"preset\"";
        return false;
    }
    for (const auto& [name, value] : root.items()) {
        std::string text;
        if (!presetText(value, text)) {
            error = "the preset " + path + " gives \"" + name +
                    "\" a value that is neither a number, a text nor true/false";
            return false;
        }
        if (!addSetting(effect, name, text, fps, values, error)) {
            error = "in the preset " + path + ": " + error;
            return false;
        }
    }
    return true;
}

}  // namespace qorfx
