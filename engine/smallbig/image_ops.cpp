#include "engine/smallbig/image_ops.h"

#include <algorithm>
#include <cstring>

namespace ocuvant::engine::smallbig {

void CutCrop(const uint8_t* img, int width, int height, int cx, int cy, uint8_t* crop, int side,
             uint8_t outside) {
  const int x0 = cx - side / 2;
  const int y0 = cy - side / 2;
  const int u0 = std::clamp(-x0, 0, side);          // first column inside the image
  const int u1 = std::clamp(width - x0, u0, side);  // end of the columns inside
  for (int v = 0; v < side; ++v) {
    uint8_t* row = crop + v * side;
    const int y = y0 + v;
    if (y < 0 || y >= height || u0 >= u1) {
      std::memset(row, outside, side);
      continue;
    }
    std::memset(row, outside, u0);
    std::memcpy(row + u0, img + y * width + x0 + u0, u1 - u0);
    std::memset(row + u1, outside, side - u1);
  }
}

void Histogram::Clear() {
  std::memset(bins, 0, sizeof bins);
}

uint32_t Histogram::CountBetween(int lo, int hi) const {
  uint32_t n = 0;
  for (int v = std::max(lo + 1, 0); v < std::min(hi, 256); ++v) n += bins[v];
  return n;
}

int32_t Histogram::LevelReaching(uint32_t target, int lo, int hi) const {
  uint32_t cumulative = 0;
  for (int v = 0; v < 256; ++v) {
    if (v > lo && v < hi) cumulative += bins[v];
    if (cumulative >= target) return v;
  }
  return 255;  // not reached: the target exceeded the count (never with Quantile)
}

}  // namespace ocuvant::engine::smallbig
