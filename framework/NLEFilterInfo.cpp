#include "framework/NLEFilterInfo.h"

namespace tessel {

namespace {

std::string paramKey(int32_t index) { return "Param[" + std::to_string(index) + "]"; }
std::string textureKey(int32_t index) { return "Texture[" + std::to_string(index) + "]"; }

}  // namespace

void NLEFilterInfo::SetParamAt(int32_t index, NLEFilterParamsPtr param) {
    std::lock_guard<std::mutex> guard(lock_);
    params_[paramKey(index)] = std::move(param);
}

NLEFilterParamsPtr NLEFilterInfo::GetParamAt(int32_t index) const {
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = params_.find(paramKey(index));
    return found == params_.end() ? nullptr : found->second;
}

void NLEFilterInfo::SetTextureAt(int32_t index, std::string path) {
    std::lock_guard<std::mutex> guard(lock_);
    textures_[textureKey(index)] = std::move(path);
}

std::string NLEFilterInfo::GetTextureAt(int32_t index) const {
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = textures_.find(textureKey(index));
    return found == textures_.end() ? std::string() : found->second;
}

}  // namespace tessel
