#pragma once

#include <cstdint>
#include <vector>

#include "framework/EffectParams.h"

// Generates colour inside a matte: one channel of the main input becomes the output's alpha, and
// the colour is a solid colour or a two-colour gradient at an angle, premultiplied by that alpha.
class NLEVideoGenerator : public tessel::NLEEffectFilter {
public:
    explicit NLEVideoGenerator(tessel::NLEFilterInfoPtr info) : NLEEffectFilter(std::move(info)) {
        kParams.setDefaults(*this);
    }
    ~NLEVideoGenerator() override = default;

    // The parameters the effect reads, each with the member it lands in and its default.
    static const tessel::ParamTable<NLEVideoGenerator> kParams;

    int32_t Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, uint8_t* second,
                      int32_t secondWidth, int32_t secondHeight, int32_t secondStride, uint8_t* src, int32_t srcWidth,
                      int32_t srcHeight, int32_t srcStride) override;

    // Colour bytes in BGRA channel order.
    struct ColourBytes {
        uint8_t channel[3];
        bool operator==(const ColourBytes& other) const;
    };

    // The gradient colour of every pixel for one angle, colour pair and frame size. It depends on
    // nothing else, so it is kept between frames and rebuilt only when one of those changes.
    struct Gradient {
        float theta;
        ColourBytes first{};
        ColourBytes second{};
        int width = 0;
        int height = 0;
        std::vector<uint8_t> pixels;  // BGRA rows of width pixels, alpha 255

        bool matches(float angle, const ColourBytes& from, const ColourBytes& to, int columns, int rows) const;
        uint8_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width * 4; }
        const uint8_t* row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * width * 4; }
    };

private:
    int32_t mode;  // 0 solid colour, anything else gradient
    float theta = 0.0f;  // gradient direction in degrees
    float r0, g0, b0;  // first colour, 0..1
    float r1, g1, b1;  // second colour, 0..1
    int32_t channelChoose;  // matte channel: 0 red, 1 green, 2 blue, 3 alpha

    Gradient gradient_;
};
