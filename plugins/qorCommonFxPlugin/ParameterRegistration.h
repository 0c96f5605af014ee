#pragma once
// Announcing an effect description to the host's registrar.

#include <cstdint>

#include "framework/NLEFilterInfo.h"
#include "host/QOREffectRegistrar.h"

namespace tessel::qorCommonFxPlugin {

// Host flags of a description: 0x1002, 0x801002 when DYNAMIC is non-zero, plus 0x20 for a
// description marked built-in.
uint32_t effectFlags(const NLEFilterInfo& info);

// Announces parameter `index` with the registrar operation of its type and widget kind. Bool,
// point and reserved parameters are not announced.
void registerParameter(QOREffectRegistrar& registrar, int32_t index, const NLEFilterParams& param);

// Identity, flags, every parameter and the dependent effects, in that order.
void registerDescription(QOREffectRegistrar& registrar, const NLEFilterInfo& info);

// The parts of registerDescription, for the .conf path, which marks the description between them.
void registerIdentityAndParameters(QOREffectRegistrar& registrar, const NLEFilterInfo& info);
void registerDependentEffects(QOREffectRegistrar& registrar, const NLEFilterInfo& info);

}  // namespace tessel::qorCommonFxPlugin
