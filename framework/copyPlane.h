#pragma once

#include <cstdint>

#include "framework/Frame.h"

namespace tessel {

// Copies a BGRA picture of width x height pixels between buffers with their own row strides.
// Only the pixels are copied: the padding bytes at the end of each row are neither read nor written.
// Returns false, copying nothing, when a pointer is null, a size is not positive, or a stride is
// too short for a row of `width` pixels.
bool copyPlane(const uint8_t* src, uint8_t* dst, int32_t width, int32_t height, int32_t srcStride,
               int32_t dstStride);

// Copies `in`'s pixels into the same place of `out`, the pass-through of an effect with nothing to
// do. Nothing is copied when `out` is `in` itself (same memory, same stride). False as copyPlane.
bool copyFrame(const Frame& in, const Frame& out);

}  // namespace tessel
