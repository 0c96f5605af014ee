#pragma once
// The description record of one effect: identity, flags, shader and texture files, the dependent
// effects it needs, and its parameter records addressed by index.
//
// The parameter and texture maps are guarded by the record's own mutex. All other members are
// written only while a builder fills a fresh record, before it is shared, and read-only afterwards.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/NLEFilterParams.h"

namespace tessel {

class NLEFilterInfo {
public:
    const std::string& GetGUID() const { return guid_; }
    void SetGUID(std::string guid) { guid_ = std::move(guid); }
    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    const std::string& GetOpenCLSource() const { return openCLSource_; }
    uint32_t HasOpenCL() const { return openCLPresent_; }
    void SetOpenCLSource(std::string path) { openCLSource_ = std::move(path); openCLPresent_ = 1; }
    const std::string& GetOpenGLSource() const { return openGLSource_; }
    uint32_t HasOpenGL() const { return openGLPresent_; }
    void SetOpenGLSource(std::string path) { openGLSource_ = std::move(path); openGLPresent_ = 1; }
    const std::string& GetOpenGLVertexSource() const { return openGLVertexSource_; }
    uint32_t HasOpenGLVertex() const { return openGLVertexPresent_; }
    void SetOpenGLVertexSource(std::string path) { openGLVertexSource_ = std::move(path); openGLVertexPresent_ = 1; }
    const std::string& GetOpenGLType() const { return openGLType_; }
    void SetOpenGLType(std::string type) { openGLType_ = std::move(type); }
    const std::string& GetSubGUID() const { return subGuid_; }
    void SetSubGUID(std::string guid) { subGuid_ = std::move(guid); }

    uint32_t GetBuiltin() const { return builtin_; }
    void SetBuiltin(uint32_t builtin) { builtin_ = builtin; }
    int32_t GetFunction() const { return function_; }
    void SetFunction(int32_t function) { function_ = function; }
    int32_t GetInnerROI() const { return innerROI_; }
    void SetInnerROI(int32_t innerROI) { innerROI_ = innerROI; }
    int32_t GetIgnoreDefault() const { return ignoreDefault_; }
    void SetIgnoreDefault(int32_t ignore) { ignoreDefault_ = ignore; }
    int32_t GetEncrypt() const { return encrypt_; }
    void SetEncrypt(int32_t encrypt) { encrypt_ = encrypt; }
    int32_t GetDynamic() const { return dynamic_; }
    void SetDynamic(int32_t dynamic) { dynamic_ = dynamic; }
    int32_t GetAlgorithmType() const { return algorithmType_; }
    void SetAlgorithmType(int32_t type) { algorithmType_ = type; }

    std::vector<std::string> GetDependentEffects() const { return dependentEffects_; }
    void SetDependentEffects(std::vector<std::string> guids) { dependentEffects_ = std::move(guids); }

    int32_t GetParamCount() const { return paramCount_; }
    void SetParamCount(int32_t count) { paramCount_ = count; }
    int32_t GetTextureCount() const { return textureCount_; }
    void SetTextureCount(int32_t count) { textureCount_ = count; }

    // Stores `param` at `index`, replacing what was there.
    void SetParamAt(int32_t index, NLEFilterParamsPtr param);
    // The record at `index`, or empty when none was stored there.
    NLEFilterParamsPtr GetParamAt(int32_t index) const;
    void SetTextureAt(int32_t index, std::string path);
    // The texture path at `index`, or empty text when none was stored there.
    std::string GetTextureAt(int32_t index) const;

private:
    std::string openCLSource_;
    uint32_t openCLPresent_ = 0;
    std::string openGLSource_;
    uint32_t openGLPresent_ = 0;
    std::string openGLVertexSource_;
    uint32_t openGLVertexPresent_ = 0;
    std::string guid_;
    std::string name_;
    std::string openGLType_;
    std::string subGuid_;
    uint32_t builtin_ = 0;
    int32_t function_ = 0;
    int32_t innerROI_ = 0;
    int32_t ignoreDefault_ = 0;
    int32_t textureCount_ = 0;
    int32_t paramCount_ = 0;
    int32_t encrypt_ = 0;
    int32_t dynamic_ = 0;
    std::vector<std::string> dependentEffects_;
    int32_t algorithmType_ = 0;

    mutable std::mutex lock_;
    std::map<std::string, std::string> textures_;
    std::map<std::string, NLEFilterParamsPtr> params_;
};

using NLEFilterInfoPtr = std::shared_ptr<NLEFilterInfo>;

}  // namespace tessel
