#include "compositing/RenderRegionInvoker.h"

#include <algorithm>

#include "compositing/ByteArithmetic.h"

namespace imageC {
namespace {

int32_t clampByte(int32_t value) { return std::clamp(value, 0, 255); }

}  // namespace

parallelRenderRegionInInvoker::parallelRenderRegionInInvoker(cv::Mat* output, uint8_t inverseAlpha, int32_t right,
                                                             int32_t bottom, int32_t top, int32_t left,
                                                             int32_t fillBlue, int32_t fillGreen, int32_t fillRed,
                                                             int32_t fillAlpha)
    : output_(output), inverseAlpha_(inverseAlpha), right_(right), bottom_(bottom), top_(top), left_(left),
      fillBlue_(clampByte(fillBlue)), fillGreen_(clampByte(fillGreen)), fillRed_(clampByte(fillRed)),
      fillAlpha_(clampByte(fillAlpha)), tables_(getBlendTables()) {
    const int32_t fill[3] = {fillBlue_, fillGreen_, fillRed_};
    for (int channel = 0; channel < 3; ++channel) {
        tint_[channel] = tables_->mul(static_cast<uint8_t>(fill[channel]), static_cast<uint8_t>(fillAlpha_));
    }
}

void parallelRenderRegionInInvoker::shadeSpan(uint8_t* pixel, int count) const {
    int i = 0;
    // Four pixels at a time with the integer form of the multiply table; sums above 255 (only
    // possible when inverseAlpha is not 255 - fillAlpha) saturate in the final pack.
    const PixelLanes inverse = cv::v_setall_u16(inverseAlpha_);
    const uint16_t tintLanes[8] = {tint_[0], tint_[1], tint_[2], 0, tint_[0], tint_[1], tint_[2], 0};
    const PixelLanes tints = cv::v_load(tintLanes);
    const PixelLanes colourLanes = cv::v_reinterpret_as_u16(cv::v_setall_u64(0x0000FFFFFFFFFFFFull));
    const auto shade = [&](const PixelLanes& p) {
        const PixelLanes shaded = mul255(mul255(p, broadcastAlpha(p)), inverse) + tints;
        return (shaded & colourLanes) | opaqueAlphaLanes();
    };
    for (; i + 4 <= count; i += 4, pixel += 16) {
        FourPixels four = loadFourPixels(pixel);
        four.first = shade(four.first);
        four.second = shade(four.second);
        storeFourPixels(pixel, four);
    }
    for (; i < count; ++i, pixel += 4) {
        const uint8_t alpha = pixel[3];
        for (int c = 0; c < 3; ++c) {
            const int shaded = tables_->mul(tables_->mul(pixel[c], alpha), inverseAlpha_) + tint_[c];
            pixel[c] = static_cast<uint8_t>(std::min(shaded, 255));
        }
        pixel[3] = 255;
    }
}

void parallelRenderRegionInInvoker::operator()(const cv::Range& rows) const {
    const int width = output_->cols;
    // Columns of the rectangle, clipped to the frame; 64-bit so that extreme edges cannot overflow.
    const int64_t insideBegin = std::clamp<int64_t>(left_, 0, width);
    const int64_t insideEnd = std::clamp<int64_t>(static_cast<int64_t>(right_) + 1, 0, width);
    const bool columnsInside = left_ <= right_ && insideBegin < insideEnd;
    for (int y = rows.start; y < rows.end; ++y) {
        uint8_t* row = output_->ptr<uint8_t>(y);
        if (columnsInside && y >= top_ && y <= bottom_) {
            shadeSpan(row, static_cast<int>(insideBegin));
            shadeSpan(row + insideEnd * 4, static_cast<int>(width - insideEnd));
        } else {
            shadeSpan(row, width);
        }
    }
}

}  // namespace imageC
