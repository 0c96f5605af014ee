#pragma once

#include <cstdint>

namespace tessel {

// Copies a BGRA picture of width x height pixels between buffers with their own row strides.
// Only the pixels are copied: the padding bytes at the end of each row are neither read nor written.
// Returns false, copying nothing, when a pointer is null, a size is not positive, or a stride is
// too short for a row of `width` pixels.
bool copyPlane(const uint8_t* src, uint8_t* dst, int32_t width, int32_t height, int32_t srcStride,
               int32_t dstStride);

}  // namespace tessel
