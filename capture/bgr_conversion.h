// Conversions of camera formats into the frames the grabber delivers: 24-bit BGR,
// rows bottom-up.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ocuvant::capture {

// Packed YUYV (4:2:2, BT.601 limited range) to bottom-up BGR24. `width` is even;
// `srcStride` >= 2 * width, `dstStride` >= 3 * width.
void ConvertYuyvToBgrBottomUp(const uint8_t* src, size_t srcStride, int width, int height,
                              uint8_t* dst, size_t dstStride);

// One YUV triple to BGR (the per-pixel rule of the conversion above).
void YuvToBgr(int y, int u, int v, uint8_t* bgr);

}  // namespace ocuvant::capture
