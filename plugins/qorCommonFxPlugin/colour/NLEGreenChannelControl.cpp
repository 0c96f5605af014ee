#include "plugins/qorCommonFxPlugin/colour/NLEGreenChannelControl.h"

#include <immintrin.h>

#include "framework/Frame.h"
#include "framework/Stripes.h"

// GCC 12's AVX-512 intrinsics start from a deliberately undefined register, which the
// uninitialised-value warnings report once inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

using tessel::Frame;

namespace {

void matteRow(const uint8_t* colour, const uint8_t* green, uint8_t* target, int width) {
    for (int x = 0; x < width; ++x, colour += 4, green += 4, target += 4) {
        target[0] = colour[0];
        target[1] = colour[1];
        target[2] = colour[2];
        target[3] = green[1];
    }
}

// Eight (sixteen) pixels at a time: shifting each 32-bit pixel of the matte left by 16 bits puts
// its green byte where alpha goes.
QOR_TARGET_AVX2 void matteRowAvx2(const uint8_t* colour, const uint8_t* green, uint8_t* target, int width) {
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colour + 4 * x));
        const __m256i greens = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(green + 4 * x));
        const __m256i matte = _mm256_slli_epi32(greens, 16);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + 4 * x), _mm256_blendv_epi8(pixels, matte, alphaBytes));
    }
    matteRow(colour + 4 * x, green + 4 * x, target + 4 * x, width - x);
}

QOR_TARGET_AVX512 void matteRowAvx512(const uint8_t* colour, const uint8_t* green, uint8_t* target, int width) {
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m512i pixels = _mm512_loadu_si512(colour + 4 * x);
        const __m512i matte = _mm512_slli_epi32(_mm512_loadu_si512(green + 4 * x), 16);
        _mm512_storeu_si512(target + 4 * x, _mm512_mask_blend_epi8(0x8888888888888888ull, pixels, matte));
    }
    matteRow(colour + 4 * x, green + 4 * x, target + 4 * x, width - x);
}

}  // namespace

const tessel::SimdKernels<NLEGreenChannelControl::MatteRowFn>& NLEGreenChannelControl::matteRowKernels() {
    static const tessel::SimdKernels<MatteRowFn> kernels{matteRow, matteRowAvx2, matteRowAvx512};
    return kernels;
}

const tessel::ParamTable<NLEGreenChannelControl> NLEGreenChannelControl::kParams{};

int32_t NLEGreenChannelControl::Transform(uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstStride,
                                          uint8_t* second, int32_t secondWidth, int32_t secondHeight,
                                          int32_t secondStride, uint8_t* src, int32_t srcWidth, int32_t srcHeight,
                                          int32_t srcStride) {
    const Frame out{dst, dstWidth, dstHeight, dstStride};
    const Frame matte{second, secondWidth, secondHeight, secondStride};
    const Frame in{src, srcWidth, srcHeight, srcStride};
    if (out.empty() || matte.empty() || in.empty()) return 1;
    if (in.height < 1 || in.width < 1) return 0;
    // The main input's size is the area processed: the matte and the output must hold all of it.
    if (!out.canHold(in) || !matte.canHold(in)) return 1;

    const MatteRowFn row = matteRowKernels().chosen();
    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) row(in.row(y), matte.row(y), out.row(y), in.width);
    });
    return 0;
}
