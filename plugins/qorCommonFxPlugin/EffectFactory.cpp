// The factory: one effect class per algorithm type. Types 88, 110 and 111 are registered with the
// host but have no class, so they cannot be created.

#include "plugins/qorCommonFxPlugin/EffectRegistry.h"

#include "plugins/qorCommonFxPlugin/finishing/NLEBoarder.h"
#include "plugins/qorCommonFxPlugin/overlays/NLECircleHighlight.h"
#include "plugins/qorCommonFxPlugin/colour/NLEColorWheel.h"
#include "plugins/qorCommonFxPlugin/layer/NLECompareView.h"
#include "plugins/qorCommonFxPlugin/colour/NLEGreenChannelControl.h"
#include "plugins/qorCommonFxPlugin/colour/NLEHSLEffect.h"
#include "plugins/qorCommonFxPlugin/layer/NLEMotion.h"
#include "plugins/qorCommonFxPlugin/layer/NLEPixelRotateEffect.h"
#include "plugins/qorCommonFxPlugin/colour/NLERGBCurveEffect.h"
#include "plugins/qorCommonFxPlugin/overlays/NLERenderRegion.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEResizeBlur.h"
#include "plugins/qorCommonFxPlugin/overlays/NLERings.h"
#include "plugins/qorCommonFxPlugin/layer/NLEScopeEffect.h"
#include "plugins/qorCommonFxPlugin/finishing/NLESharpenEffect.h"
#include "plugins/qorCommonFxPlugin/finishing/NLEToneMapToSelectColor.h"
#include "plugins/qorCommonFxPlugin/layer/NLETransform.h"
#include "plugins/qorCommonFxPlugin/overlays/NLEVideoGenerator.h"

namespace tessel::qorCommonFxPlugin {

std::unique_ptr<NLEEffectFilter> EffectRegistry::createFilter(NLEFilterInfoPtr info) {
    if (!info) return nullptr;
    switch (info->GetAlgorithmType()) {
    case 4: return std::make_unique<NLESharpenEffect>(std::move(info));
    case 5: return std::make_unique<NLEBoarder>(std::move(info));
    case 7: return std::make_unique<NLECircleHighlight>(std::move(info));
    case 9: return std::make_unique<NLEGreenChannelControl>(std::move(info));
    case 13: return std::make_unique<NLEPixelRotateEffect>(std::move(info));
    case 14: return std::make_unique<NLERings>(std::move(info));
    case 15: return std::make_unique<NLEVideoGenerator>(std::move(info));
    case 17: return std::make_unique<NLEResizeBlur>(std::move(info));
    case 18: return std::make_unique<NLETransform>(std::move(info));
    case 19: return std::make_unique<NLERenderRegion>(std::move(info));
    case 20: return std::make_unique<NLEMotion>(std::move(info));
    case 96: return std::make_unique<NLECompareView>(std::move(info));
    case 98: return std::make_unique<NLEHSLEffect>(std::move(info));
    case 99: return std::make_unique<NLEScopeEffect>(std::move(info));
    case 101: return std::make_unique<NLERGBCurveEffect>(std::move(info));
    case 105: return std::make_unique<NLEColorWheel>(std::move(info));
    case 108: return std::make_unique<NLEToneMapToSelectColor>(std::move(info));
    default: return nullptr;
    }
}

}  // namespace tessel::qorCommonFxPlugin
