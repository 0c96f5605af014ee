#include "plugins/qorCommonFxPlugin/beauty/NLEBeautySkinColorEffect.h"

#include "framework/EffectParams.h"
#include "plugins/qorCommonFxPlugin/beauty/ColourTables.h"

namespace {
constexpr double kSmallestLevel = 0.000001;
}

const tessel::ParamTable<NLEBeautySkinColorEffect> NLEBeautySkinColorEffect::kParams{
    {"color_lev", &NLEBeautySkinColorEffect::colorLevel, 0.0}};

int32_t NLEBeautySkinColorEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                            uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                            int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                            int32_t srcStride) {
    const tessel::Frame out{dst, dstWidth, dstHeight, dstStride}, in{src, srcWidth, srcHeight, srcStride};
    return beauty::renderThroughTables(out, in, [this]() -> std::optional<beauty::ColourTables> {
        tessel::readParams(*this, kParams);
        const double level = static_cast<double>(colorLevel) / 10.0;
        if (!(level >= kSmallestLevel)) return std::nullopt;
        const beauty::ByteTable same = beauty::identityTable();
        return beauty::ColourTables{same, same, beauty::offsetTable(level)};
    });
}
