// The factory: one effect class per algorithm type. Types 88, 110 and 111 are registered with the
// host but have no class, so they cannot be created.

#include "plugins/qorCommonFxPlugin/EffectRegistry.h"

#include "plugins/qorCommonFxPlugin/finishing/NLEBoarder.h"
#include "plugins/qorCommonFxPlugin/overlays/NLECircleHighlight.h"
#include "plugins/qorCommonFxPlugin/layer/NLECompareView.h"
#include "plugins/qorCommonFxPlugin/colour/NLEGreenChannelControl.h"
#include "plugins/qorCommonFxPlugin/layer/NLEMotion.h"
#include "plugins/qorCommonFxPlugin/layer/NLEPixelRotateEffect.h"
#include "plugins/qorCommonFxPlugin/overlays/NLERenderRegion.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEResizeBlur.h"
#include "plugins/qorCommonFxPlugin/overlays/NLERings.h"
#include "plugins/qorCommonFxPlugin/layer/NLEScopeEffect.h"
#include "plugins/qorCommonFxPlugin/finishing/NLESharpenEffect.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEToneMapToSelectColor.h"
#include "plugins/qorCommonFxPlugin/layer/NLETransform.h"
#include "plugins/qorCommonFxPlugin/overlays/NLEVideoGenerator.h"

namespace tessel::qorCommonFxPlugin {

namespace {

// One effect class: the algorithm type it renders, how to build it, and its declared parameters.
struct EffectClass {
    int32_t algorithmType;
    std::unique_ptr<NLEEffectFilter> (*create)(NLEFilterInfoPtr info);
    const std::vector<ParamDeclaration>& (*parameters)();
};

template <typename Effect>
EffectClass effectClass(int32_t algorithmType) {
    return {algorithmType,
            [](NLEFilterInfoPtr info) -> std::unique_ptr<NLEEffectFilter> {
                return std::make_unique<Effect>(std::move(info));
            },
            []() -> const std::vector<ParamDeclaration>& { return Effect::kParams.declarations(); }};
}

const EffectClass* effectClassOf(int32_t algorithmType) {
    static const EffectClass classes[] = {
        effectClass<NLESharpenEffect>(4),
        effectClass<NLEBoarder>(5),
        effectClass<NLECircleHighlight>(7),
        effectClass<NLEGreenChannelControl>(9),
        effectClass<NLEPixelRotateEffect>(13),
        effectClass<NLERings>(14),
        effectClass<NLEVideoGenerator>(15),
        effectClass<NLEResizeBlur>(17),
        effectClass<NLETransform>(18),
        effectClass<NLERenderRegion>(19),
        effectClass<NLEMotion>(20),
        effectClass<NLECompareView>(96),
        effectClass<NLEScopeEffect>(99),
        effectClass<NLEToneMapToSelectColor>(108),
    };
    for (const EffectClass& effect : classes) {
        if (effect.algorithmType == algorithmType) return &effect;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<NLEEffectFilter> EffectRegistry::createFilter(NLEFilterInfoPtr info) {
    if (!info) return nullptr;
    const EffectClass* effect = effectClassOf(info->GetAlgorithmType());
    return effect ? effect->create(std::move(info)) : nullptr;
}

const std::vector<ParamDeclaration>* EffectRegistry::declaredParameters(int32_t algorithmType) {
    const EffectClass* effect = effectClassOf(algorithmType);
    return effect ? &effect->parameters() : nullptr;
}

}  // namespace tessel::qorCommonFxPlugin
