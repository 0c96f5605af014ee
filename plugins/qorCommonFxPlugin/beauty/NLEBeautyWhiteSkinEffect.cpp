#include "plugins/qorCommonFxPlugin/beauty/NLEBeautyWhiteSkinEffect.h"

#include "framework/EffectParams.h"
#include "plugins/qorCommonFxPlugin/beauty/ColourTables.h"

const tessel::ParamTable<NLEBeautyWhiteSkinEffect> NLEBeautyWhiteSkinEffect::kParams{
    {"white_lev", &NLEBeautyWhiteSkinEffect::whiteLevel, 0.0}};

int32_t NLEBeautyWhiteSkinEffect::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                            uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                            int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                            int32_t srcStride) {
    const tessel::Frame out{dst, dstWidth, dstHeight, dstStride}, in{src, srcWidth, srcHeight, srcStride};
    return beauty::renderThroughTables(out, in, [this]() -> std::optional<beauty::ColourTables> {
        tessel::readParams(*this, kParams);
        const double level = static_cast<double>(whiteLevel * 0.25f);
        if (!(level >= 0.0)) return std::nullopt;
        const beauty::ByteTable lifted = beauty::offsetTable(level);
        return beauty::ColourTables{lifted, lifted, lifted};
    });
}
