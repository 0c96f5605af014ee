#include "framework/copyPlane.h"

#include <cstddef>
#include <cstring>

namespace tessel {

bool copyPlane(const uint8_t* src, uint8_t* dst, int32_t width, int32_t height, int32_t srcStride,
               int32_t dstStride) {
    if (!src || !dst || width <= 0 || height <= 0 || srcStride <= 0 || dstStride <= 0) return false;
    const auto rowBytes = static_cast<std::size_t>(width) * Frame::kChannels;
    if (static_cast<std::size_t>(srcStride) < rowBytes || static_cast<std::size_t>(dstStride) < rowBytes) return false;
    if (srcStride == dstStride && static_cast<std::size_t>(srcStride) == rowBytes) {
        std::memcpy(dst, src, rowBytes * static_cast<std::size_t>(height));
        return true;
    }
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(dst + static_cast<std::ptrdiff_t>(y) * dstStride, src + static_cast<std::ptrdiff_t>(y) * srcStride,
                    rowBytes);
    }
    return true;
}

bool copyFrame(const Frame& in, const Frame& out) {
    if (in.data == out.data && in.stride == out.stride) return in.isValid();
    return copyPlane(in.data, out.data, in.width, in.height, in.stride, out.stride);
}

}  // namespace tessel
