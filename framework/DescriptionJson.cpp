#include "framework/DescriptionJson.h"

#include "framework/DescriptionParams.h"

namespace tessel {

using nlohmann::json;

namespace {

int32_t readInt(const json& root, const char* key) {
    const auto found = root.find(key);
    return found == root.end() ? 0 : jsonInt32(*found);
}

// A texture element's text field. For an object a missing key reads as null, which raises the
// type error; an element that is no object raises the library's own type error.
std::string textureField(const json& element, const char* key) {
    if (!element.is_object()) return element[key].get<std::string>();
    return element.value(key, json()).get<std::string>();
}

void buildTextures(const json& textures, const std::string& folder, NLEFilterInfo& info) {
    int32_t index = 0;
    for (const auto& element : textures) {
        if (isEmptyValue(element)) continue;
        const std::string kind = textureField(element, "TYPE");
        const std::string file = textureField(element, "FILE");
        info.SetTextureAt(index, kind == "image" ? folder + file : kind + "|" + folder + file);
        ++index;
        info.SetTextureCount(index);
    }
}

}  // namespace

NLEFilterInfoPtr buildDescriptionJson(const json& root, const std::string& folder) {
    if (isEmptyValue(root)) return nullptr;
    auto info = std::make_shared<NLEFilterInfo>();
    std::string text;
    if (!readString(root, "GUID", text) || text.empty()) return nullptr;
    info->SetGUID(text);

    if (readString(root, "OPENCL", text)) info->SetOpenCLSource(folder + text);
    if (readString(root, "OPENGL", text)) info->SetOpenGLSource(folder + text);
    if (readString(root, "OPENGL_VERTEX", text)) info->SetOpenGLVertexSource(folder + text);
    if (readString(root, "NAME", text)) info->SetName(text);
    if (readString(root, "DYNAMIC", text)) info->SetDynamic(decimalPrefix(text));
    if (readString(root, "OPENGL_TYPE", text)) info->SetOpenGLType(text);
    if (readString(root, "SUB_GUID", text)) info->SetSubGUID(text);
    if (readString(root, "ENCRYPT", text)) info->SetEncrypt(decimalPrefix(text));
    info->SetFunction(readInt(root, "FUNCTION"));
    info->SetInnerROI(readInt(root, "INNERROI"));
    info->SetIgnoreDefault(readInt(root, "IGNOREDEF"));

    const auto textures = root.find("TEXTURES");
    if (textures != root.end()) buildTextures(json(*textures), folder, *info);
    const auto params = root.find("PARAMS");
    if (params != root.end()) buildParams(*params, DescriptionFormat::DescriptionJson, *info);
    return info;
}

}  // namespace tessel
