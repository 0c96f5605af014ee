#include "tools/qorfx/DescriptionCheck.h"

#include <fstream>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "framework/DescriptionDiscovery.h"
#include "framework/EffectParams.h"
#include "framework/ParamValue.h"
#include "plugins/qorCommonFxPlugin/BuiltinEffectTypes.h"
#include "plugins/qorCommonFxPlugin/EffectRegistry.h"

namespace qorfx {

namespace {

using nlohmann::json;
using tessel::ParamType;
using tessel::UIType;

constexpr std::size_t kLongestParamName = 37;

const std::set<std::string> kStringKeys = {"GUID",        "NAME",     "DYNAMIC", "OPENCL",        "OPENGL",
                                           "OPENGL_VERTEX", "OPENGL_TYPE", "SUB_GUID", "ENCRYPT"};
const std::set<std::string> kNumberKeys = {"FUNCTION", "INNERROI", "IGNOREDEF"};
const std::set<std::string> kNumericTypes = {"int", "float", "double", "point"};
const std::map<std::string, ParamType> kParamTypes = {{"int", ParamType::Int},       {"float", ParamType::Float},
                                                       {"double", ParamType::Double}, {"point", ParamType::Int},
                                                       {"string", ParamType::String}, {"pointer", ParamType::Pointer}};

class FileCheck {
public:
    FileCheck(std::string file, std::vector<Finding>& findings) : file_(std::move(file)), findings_(findings) {}

    void run() {
        std::ifstream stream(file_);
        if (!stream) return report("cannot be read");
        json root;
        try {
            root = json::parse(stream);
        } catch (const json::parse_error& error) {
            return report(std::string("is not valid JSON, so the module skips it: ") + error.what());
        }
        if (!root.is_object() || root.empty()) return report("holds no JSON object, so the module skips it");
        checkIdentity(root);
        for (const auto& [key, value] : root.items()) checkTopLevelType(key, value);
        if (root.contains("TEXTURES")) checkTextures(root["TEXTURES"]);
        if (root.contains("PARAMS")) checkParams(root["PARAMS"]);
        checkAgainstEffect(root);
    }

private:
    void report(const std::string& message) { findings_.push_back({file_, message}); }

    void checkIdentity(const json& root) {
        const auto guid = root.find("GUID");
        if (guid == root.end() || !guid->is_string() || guid->get<std::string>().empty()) {
            if (guid == root.end() || guid->is_string()) report("has no GUID, so the module ignores it");
            return;
        }
        const std::string text = guid->get<std::string>();
        if (tessel::qorCommonFxPlugin::BuiltinEffectTypes.count(text) == 0) {
            report("GUID " + text + " is not one of the module's effects (GUIDs are compared exactly, in upper "
                   "case), so the module ignores the description");
        }
    }

    void checkTopLevelType(const std::string& key, const json& value) {
        if (kStringKeys.count(key) && !value.is_string()) {
            report("\"" + key + "\" must be a JSON string, not " + value.type_name() +
                   " (for example \"DYNAMIC\": \"0\"); the module skips the whole description");
        } else if (kNumberKeys.count(key) && !value.is_number()) {
            report("\"" + key + "\" must be a JSON number, not " + value.type_name() +
                   "; the module skips the whole description");
        } else if ((key == "DYNAMIC" || key == "ENCRYPT") && !startsWithInteger(value.get<std::string>())) {
            report("\"" + key + "\" must hold a decimal integer such as \"0\"; the module skips the whole description");
        }
    }

    static bool startsWithInteger(const std::string& text) {
        try {
            std::stoi(text);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    void checkTextures(const json& textures) {
        if (!textures.is_array()) return report("\"TEXTURES\" must be an array of {\"TYPE\", \"FILE\"} objects");
        for (const auto& texture : textures) {
            if (texture.is_null() || texture.empty()) continue;
            if (!texture.is_object() || !texture.contains("TYPE") || !texture.contains("FILE") ||
                !texture["TYPE"].is_string() || !texture["FILE"].is_string()) {
                report("a texture needs \"TYPE\" and \"FILE\" texts; the module skips the whole description");
            }
        }
    }

    void checkParams(const json& params) {
        if (!params.is_array() && !params.is_object()) return report("\"PARAMS\" must be an array of parameter objects");
        std::set<std::string> names;
        for (const auto& param : params) {
            if (!param.is_object()) {
                report("a parameter that is not a JSON object is dropped");
                continue;
            }
            checkParam(param, names);
        }
    }

    void checkParam(const json& param, std::set<std::string>& names) {
        const std::string name = param.value("NAME", json()).is_string() ? param["NAME"].get<std::string>() : "";
        const std::string label = "parameter \"" + name + "\"";
        for (const char* key : {"NAME", "ALIAS", "TYPE", "UIType"}) {
            if (param.contains(key) && !param[key].is_string()) {
                report(label + ": \"" + key + "\" must be a JSON string; the module skips the whole description");
            }
        }
        if (param.contains("KEYFRAME") && !param["KEYFRAME"].is_number()) {
            report(label + ": \"KEYFRAME\" must be a JSON number; the module skips the whole description");
        }
        if (name.empty()) report("a parameter without \"NAME\" cannot be looked up by its effect");
        if (name.size() > kLongestParamName) report(label + " is longer than 37 characters");
        if (!names.insert(name).second) report(label + " is declared twice; the effect reads only one of them");
        const std::string type = param.value("TYPE", json()).is_string() ? param["TYPE"].get<std::string>() : "";
        if (!kParamTypes.count(type)) {
            report(label + " has the TYPE \"" + type + "\", which is none of int, float, double, point, string, "
                   "pointer; the module drops the parameter");
            return;
        }
        if (kNumericTypes.count(type)) checkRange(param, label);
        if (param.contains("UIType") && param["UIType"].is_string()) checkWidget(param["UIType"].get<std::string>(), type, label);
    }

    // MIN, MAX and DEFAULT are read only for the numeric types.
    void checkRange(const json& param, const std::string& label) {
        for (const char* key : {"MIN", "MAX", "DEFAULT"}) {
            if (param.contains(key) && !param[key].is_number()) {
                report(label + ": \"" + key + "\" must be a JSON number; the module skips the whole description");
            }
        }
        const bool complete = param.contains("MIN") && param.contains("MAX") && param.contains("DEFAULT");
        if (!complete) {
            report(label + " lacks MIN, MAX or DEFAULT; a missing limit counts as 0, so give all three");
            return;
        }
        if (!param["MIN"].is_number() || !param["MAX"].is_number() || !param["DEFAULT"].is_number()) return;
        const double minimum = param["MIN"], maximum = param["MAX"], value = param["DEFAULT"];
        if (minimum > maximum) report(label + ": MIN is above MAX");
        else if (value < minimum || value > maximum) report(label + ": DEFAULT lies outside MIN..MAX");
    }

    void checkWidget(const std::string& widget, const std::string& type, const std::string& label) {
        const auto kind = static_cast<UIType>(tessel::uiTypeFromName(widget));
        if (kind == UIType{0}) {
            report(label + " has the unknown UIType \"" + widget + "\" (names are case-sensitive, e.g. \"Color\"); "
                   "it is announced as a plain value");
            return;
        }
        const bool intWidget = kind == UIType::Color || kind == UIType::CheckBox || kind == UIType::NinePalaces ||
                               kind == UIType::ListMosaic || kind == UIType::ColorStart || kind == UIType::ColorEnd;
        if (intWidget && type != "int") report(label + ": UIType \"" + widget + "\" works only on int parameters");
        if (kind == UIType::Mult100 && type != "float") report(label + ": UIType \"Mult100\" works only on float parameters");
        if (kind == UIType::ListMask && type != "string") report(label + ": UIType \"ListMask\" works only on string parameters");
    }

    // The description's parameters against what the effect class of its GUID reads.
    void checkAgainstEffect(const json& root) {
        const auto guid = root.find("GUID");
        if (guid == root.end() || !guid->is_string()) return;
        const auto type = tessel::qorCommonFxPlugin::BuiltinEffectTypes.find(guid->get<std::string>());
        if (type == tessel::qorCommonFxPlugin::BuiltinEffectTypes.end()) return;
        const auto* declared = tessel::qorCommonFxPlugin::EffectRegistry::declaredParameters(type->second);
        if (!declared) return;
        std::map<std::string, std::string> described;  // name -> type word, dropped parameters included
        const json params = root.value("PARAMS", json::array());
        for (const auto& param : params) {
            if (param.is_object() && param.contains("NAME") && param["NAME"].is_string()) {
                described[param["NAME"].get<std::string>()] = param.value("TYPE", json()).is_string() ? param["TYPE"].get<std::string>() : "";
            }
        }
        for (const auto& declaration : *declared) {
            const char* kind = tessel::kindName(declaration.kind);
            auto found = described.find(declaration.name);
            if (found == described.end() && !declaration.alias.empty()) found = described.find(declaration.alias);
            const auto word = found == described.end() ? kParamTypes.end() : kParamTypes.find(found->second);
            if (found == described.end()) {
                report("the effect reads the " + std::string(kind) + " parameter \"" + declaration.name +
                       "\", which the description lacks; the host cannot set it");
            } else if (word != kParamTypes.end() && !tessel::kindAccepts(declaration.kind, tessel::toCode(word->second))) {
                report("parameter \"" + found->first + "\" is declared \"" + found->second +
                       "\" but the effect reads it as " + kind + "; declare it \"" +
                       (declaration.kind == tessel::ParamKind::Text ? "string" : kind) + "\"");
            }
        }
    }

    std::string file_;
    std::vector<Finding>& findings_;
};

}  // namespace

std::vector<Finding> checkEffectTree(const std::string& folder) {
    std::vector<Finding> findings;
    tessel::walkEffectDescriptions(folder.c_str(), [&](tessel::_EffectFileType kind, std::string file, std::string) {
        if (kind == tessel::_EffectFileType::FilterXml) {
            findings.push_back({file, "filter.xml is not a JSON description; the module skips it"});
            return;
        }
        FileCheck(file, findings).run();
    });
    return findings;
}

}  // namespace qorfx
