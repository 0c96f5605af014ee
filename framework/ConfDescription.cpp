#include "framework/ConfDescription.h"

#include "framework/DescriptionParams.h"

namespace tessel {

using nlohmann::json;

const char* const kSkinDetectionGuid = "B6812345-039A-49CB-BEBB-339EACCD00F0";

namespace {

// The folder part of a path, up to and including its last "\" or "/".
std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Without "NAME" the display name is the OpenCL file name up to its last ".".
std::string nameFromOpenCL(const std::string& openCL) { return openCL.substr(0, openCL.rfind('.')); }

}  // namespace

NLEFilterInfoPtr readConfDescription(const std::string& path) {
    json root;
    readJsonFile(path, root);
    return buildConfDescription(root, folderOf(path));
}

NLEFilterInfoPtr buildConfDescription(const json& root, const std::string& folder) {
    if (isEmptyValue(root)) return nullptr;
    auto info = std::make_shared<NLEFilterInfo>();
    std::string text;
    if (!readString(root, "GUID", text) || text.empty()) return nullptr;
    info->SetGUID(text);

    std::string openCL;
    if (readString(root, "OPENCL", openCL)) info->SetOpenCLSource(folder + openCL);
    if (readString(root, "OPENGL", text)) info->SetOpenGLSource(folder + text);
    info->SetName(readString(root, "NAME", text) ? text : nameFromOpenCL(openCL));
    if (readString(root, "DYNAMIC", text)) info->SetDynamic(decimalPrefix(text));
    if (readString(root, "ENCRYPT", text)) info->SetEncrypt(decimalPrefix(text));
    if (readString(root, "ALGORITHM_TYPE", text) && text == "256") info->SetDependentEffects({kSkinDetectionGuid});

    const auto params = root.find("PARAMS");
    if (params != root.end()) buildParams(*params, DescriptionFormat::Conf, *info);
    return info;
}

}  // namespace tessel
