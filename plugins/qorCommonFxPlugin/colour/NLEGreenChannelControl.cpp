#include "plugins/qorCommonFxPlugin/colour/NLEGreenChannelControl.h"

#include "framework/Frame.h"
#include "framework/Stripes.h"

using tessel::Frame;

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

    tessel::parallelRange(in.height, -1, [&](const cv::Range& rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            const uint8_t* colour = in.row(y);
            const uint8_t* green = matte.row(y);
            uint8_t* target = out.row(y);
            for (int x = 0; x < in.width; ++x, colour += 4, green += 4, target += 4) {
                target[0] = colour[0];
                target[1] = colour[1];
                target[2] = colour[2];
                target[3] = green[1];
            }
        }
    });
    return 0;
}
