#include "plugins/qorCommonFxPlugin/beauty/ColourTables.h"

#include "framework/ByteTableLookup.h"

namespace beauty {
namespace {

void colourTablesRowScalar(const uint8_t* s, uint8_t* o, int width, const ColourTables& tables) {
    const uint8_t *blue = tables[0].data(), *green = tables[1].data(), *red = tables[2].data();
    for (int x = 0; x < 4 * width; x += 4) {
        const uint8_t b = blue[s[x]], g = green[s[x + 1]], r = red[s[x + 2]], a = s[x + 3];
        o[x] = b;
        o[x + 1] = g;
        o[x + 2] = r;
        o[x + 3] = a;
    }
}

// Sixteen pixels at a time: each channel's table looked up for all 64 bytes, kept in that
// channel's bytes; alpha passes through.
QOR_TARGET_AVX512_VBMI void colourTablesRowVbmi(const uint8_t* s, uint8_t* o, int width, const ColourTables& tables) {
    const tessel::ByteTableRegisters channelTables[3] = {
        tessel::loadByteTable(tables[0].data()), tessel::loadByteTable(tables[1].data()),
        tessel::loadByteTable(tables[2].data())};
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m512i pixels = _mm512_loadu_si512(s + 4 * x);
        const __m512i index = pixels;
        for (int c = 0; c < 3; ++c) {
            const __m512i looked = tessel::lookUpBytes(channelTables[c], index);
            pixels = _mm512_mask_blend_epi8(tessel::kChannelBytes[c], pixels, looked);
        }
        _mm512_storeu_si512(o + 4 * x, pixels);
    }
    colourTablesRowScalar(s + 4 * x, o + 4 * x, width - x, tables);
}

}  // namespace

const tessel::SimdKernels<ColourTablesRowFn>& colourTablesRowKernels() {
    static const tessel::SimdKernels<ColourTablesRowFn> kernels{
        colourTablesRowScalar, nullptr, tessel::machineRunsVbmi() ? colourTablesRowVbmi : nullptr};
    return kernels;
}

}  // namespace beauty
