#include "tools/qorfx/SkinMask.h"

#include <opencv2/imgproc.hpp>

#include "platform/DynamicLibrary.h"
#include "tools/qorfx/Pictures.h"

namespace qorfx {

namespace {

constexpr const char* kAiModuleFile = "qorAiFilterPlugin.qor";
constexpr const char* kSkinDetectionGuid = "B6812345-039A-49CB-BEBB-339EACCD00F0";

using CreateFn = void* (*)(const char*, int32_t);
using DeleteFn = void (*)(void**);
using TransformFn = int32_t (*)(void*, uint8_t*, int32_t, int32_t, int32_t, uint8_t*, int32_t, int32_t, int32_t,
                                uint8_t*, int32_t, int32_t, int32_t);

int32_t strideOf(const cv::Mat& picture) { return static_cast<int32_t>(picture.step[0]); }

}  // namespace

cv::Mat detectSkinMask(const std::string& aiFolder, const cv::Mat& picture, std::string& error) {
    const std::string path = aiFolder + "/" + kAiModuleFile;
    platform::DynamicLibrary library;
    if (!library.open(path)) {
        error = "cannot load the AI module " + path + ": " + library.error() + "; build it or point --ai-dir at its folder";
        return {};
    }
    const auto create = reinterpret_cast<CreateFn>(library.symbol("CreateNLEAIEffectFilterFromGUID"));
    const auto remove = reinterpret_cast<DeleteFn>(library.symbol("DeleteNLEAIEffectFilter"));
    const auto transform = reinterpret_cast<TransformFn>(library.symbol("NLEEffectFilterTransform"));
    if (!create || !remove || !transform) {
        error = path + " is not an AI module: it lacks the create, delete or transform entry point";
        return {};
    }
    void* detector = create(kSkinDetectionGuid, 0);
    if (!detector) {
        error = path + " offers no skin detector (" + kSkinDetectionGuid + ")";
        return {};
    }
    cv::Mat input = picture.clone();
    cv::Mat mask(picture.size(), CV_8UC4, cv::Scalar::all(0));
    const int32_t status = transform(detector, mask.data, mask.cols, mask.rows, strideOf(mask), nullptr, 0, 0, 0,
                                     input.data, input.cols, input.rows, strideOf(input));
    remove(&detector);
    if (status != 0) {
        error = "the skin detector refused the picture (result " + std::to_string(status) + ")";
        return {};
    }
    cv::Mat weight;
    cv::extractChannel(mask, weight, 3);
    return weight;
}

cv::Mat readMask(const std::string& path, std::string& error) {
    const cv::Mat picture = readPicture(path, error);
    if (picture.empty()) return {};
    cv::Mat mask;
    cv::cvtColor(picture, mask, cv::COLOR_BGRA2GRAY);
    return mask;
}

}  // namespace qorfx
