#include "capture/bgr_conversion.h"

namespace ocuvant::capture {
namespace {

inline uint8_t Clip(int v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

void YuvToBgr(int y, int u, int v, uint8_t* bgr) {
  const int c = 298 * (y - 16) + 128;
  const int d = u - 128;
  const int e = v - 128;
  bgr[0] = Clip((c + 516 * d) >> 8);
  bgr[1] = Clip((c - 100 * d - 208 * e) >> 8);
  bgr[2] = Clip((c + 409 * e) >> 8);
}

void ConvertYuyvToBgrBottomUp(const uint8_t* src, size_t srcStride, int width, int height,
                              uint8_t* dst, size_t dstStride) {
  for (int row = 0; row < height; ++row) {
    const uint8_t* s = src + static_cast<size_t>(row) * srcStride;
    uint8_t* d = dst + static_cast<size_t>(height - 1 - row) * dstStride;
    for (int x = 0; x + 1 < width; x += 2, s += 4, d += 6) {
      const int u = s[1];
      const int v = s[3];
      YuvToBgr(s[0], u, v, d);
      YuvToBgr(s[2], u, v, d + 3);
    }
  }
}

}  // namespace ocuvant::capture
