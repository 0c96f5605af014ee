#include "plugins/qorCommonFxPlugin/ParameterRegistration.h"

#include <cstring>

namespace tessel::qorCommonFxPlugin {

namespace {

constexpr uint32_t kBaseFlags = 0x1002;
constexpr uint32_t kDynamicFlag = 0x800000;
constexpr uint32_t kBuiltinFlag = 0x20;
constexpr int32_t kLeading = -1;

// Registrar strings travel in 128-byte buffers: at most 127 characters.
struct RegistrarText {
    char text[128] = {};
    explicit RegistrarText(const std::string& value) {
        std::strncpy(text, value.c_str(), sizeof text - 1);
    }
};

int32_t visibilityOf(const NLEFilterParams& param) {
    return param.GetUIType() == static_cast<uint32_t>(UIType::NoShow) ? 1 : 2;
}

void registerIntParameter(QOREffectRegistrar& registrar, int32_t index, const char* name,
                          const NLEFilterParams& param) {
    const int32_t min = param.GetMin().asInt();
    const int32_t max = param.GetMax().asInt();
    const int32_t def = param.GetDefault().asInt();
    const int32_t visibility = visibilityOf(param);
    switch (static_cast<UIType>(param.GetUIType())) {
    case UIType::Color:
        registrar.AddColorParam(kLeading, index, name, name, def, min, max, visibility);
        break;
    case UIType::CheckBox:
        registrar.AddCheckBoxParam(kLeading, index, name, name, min, max, def, visibility);
        break;
    case UIType::NinePalaces:
        registrar.AddNinePalacesParam(kLeading, index, name, name, min, max, def, 0);
        break;
    case UIType::ListMosaic:
        registrar.AddListMosaicParam(kLeading, index, name, name, min, max, def, 0);
        break;
    case UIType::ColorStart:
        registrar.AddColorStartParam(kLeading, index, name, name, min, max, def, visibility);
        break;
    case UIType::ColorEnd:
        registrar.AddColorEndParam(kLeading, index, name, name, min, max, def, visibility);
        break;
    default:
        registrar.AddIntParam(kLeading, index, name, name, min, max, def, 1, visibility);
        break;
    }
}

}  // namespace

uint32_t effectFlags(const NLEFilterInfo& info) {
    uint32_t flags = kBaseFlags;
    if (info.GetDynamic() != 0) flags |= kDynamicFlag;
    if (info.GetBuiltin() != 0) flags |= kBuiltinFlag;
    return flags;
}

void registerParameter(QOREffectRegistrar& registrar, int32_t index, const NLEFilterParams& param) {
    const RegistrarText name(param.GetName());
    const int32_t visibility = visibilityOf(param);
    const auto uiType = static_cast<UIType>(param.GetUIType());
    switch (static_cast<ParamType>(param.GetType())) {
    case ParamType::Float:
        if (uiType == UIType::Mult100) {
            registrar.AddMult100Param(kLeading, index, name.text, name.text, param.GetMin().asFloat(),
                                      param.GetMax().asFloat(), param.GetDefault().asFloat(), visibility);
        } else {
            registrar.AddFloatParam(kLeading, index, name.text, name.text, param.GetMin().asFloat(),
                                    param.GetMax().asFloat(), param.GetDefault().asFloat(), visibility);
        }
        break;
    case ParamType::Double:
        registrar.AddDoubleParam(kLeading, index, name.text, name.text, param.GetMin().asDouble(),
                                 param.GetMax().asDouble(), param.GetDefault().asDouble(), visibility);
        break;
    case ParamType::Int:
        registerIntParameter(registrar, index, name.text, param);
        break;
    case ParamType::String:
        if (uiType == UIType::ListMask) {
            registrar.AddListMaskParam(kLeading, index, name.text, name.text, param.GetDefault().text.c_str(), 0);
        } else {
            registrar.AddStringParam(kLeading, index, name.text, name.text, param.GetDefault().text.c_str(), 0);
        }
        break;
    case ParamType::Pointer:
        registrar.AddStringParam(kLeading, index, name.text, name.text, nullptr, 0);
        break;
    default:
        break;
    }
}

void registerIdentityAndParameters(QOREffectRegistrar& registrar, const NLEFilterInfo& info) {
    const RegistrarText guid(info.GetGUID());
    const RegistrarText name(info.GetName());
    registrar.SetIdentity(guid.text, name.text);
    registrar.SetFlags(effectFlags(info));
    for (int32_t i = 0; i < info.GetParamCount(); ++i) {
        if (const auto param = info.GetParamAt(i)) registerParameter(registrar, i, *param);
    }
}

void registerDependentEffects(QOREffectRegistrar& registrar, const NLEFilterInfo& info) {
    for (const auto& guid : info.GetDependentEffects()) registrar.AddDependentEffect(guid.c_str());
}

void registerDescription(QOREffectRegistrar& registrar, const NLEFilterInfo& info) {
    registerIdentityAndParameters(registrar, info);
    registerDependentEffects(registrar, info);
}

}  // namespace tessel::qorCommonFxPlugin
