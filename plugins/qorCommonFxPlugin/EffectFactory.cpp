// The factory: one effect class per algorithm type.

#include "plugins/qorCommonFxPlugin/EffectRegistry.h"

#include "plugins/qorCommonFxPlugin/NLEGreenChannelControl.h"
#include "plugins/qorCommonFxPlugin/NLETransform.h"

namespace tessel::qorCommonFxPlugin {

std::unique_ptr<NLEEffectFilter> EffectRegistry::createFilter(NLEFilterInfoPtr info) {
    if (!info) return nullptr;
    switch (info->GetAlgorithmType()) {
    case 9: return std::make_unique<NLEGreenChannelControl>(std::move(info));
    case 18: return std::make_unique<NLETransform>(std::move(info));
    default: return nullptr;
    }
}

}  // namespace tessel::qorCommonFxPlugin
