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
      fillAlpha_(clampByte(fillAlpha)), shadeRow_(shadeRowKernels().chosen()) {
    const int32_t fill[3] = {fillBlue_, fillGreen_, fillRed_};
    shade_.inverseAlpha = inverseAlpha_;
    for (int channel = 0; channel < 3; ++channel) {
        shade_.tint[channel] = mul255(static_cast<uint8_t>(fill[channel]), static_cast<uint8_t>(fillAlpha_));
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
            shadeRow_(row, static_cast<int>(insideBegin), shade_);
            shadeRow_(row + insideEnd * 4, static_cast<int>(width - insideEnd), shade_);
        } else {
            shadeRow_(row, width, shade_);
        }
    }
}

}  // namespace imageC
