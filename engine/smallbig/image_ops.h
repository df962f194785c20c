// Small helpers over grey images: points on circles, crop cutting, histogram quantiles.
#pragma once

#include <cstdint>

#include "engine/smallbig/tables.h"

namespace ocuvant::engine::smallbig {

// Offset of the point at radius r in direction m along one axis (dir = DirX/DirY[m]),
// rounded with an arithmetic shift.
inline int32_t Along(int32_t r, int32_t dir) {
  return (r * dir + 16384) >> 15;
}
inline int32_t DirIndex(int32_t m) {
  return m & 511;
}

// Copies the side x side window centred on (cx, cy) of the image; `outside` where the
// window leaves the image.
void CutCrop(const uint8_t* img, int width, int height, int cx, int cy, uint8_t* crop, int side,
             uint8_t outside);

// 256-bin grey histogram.
struct Histogram {
  uint32_t bins[256];
  void Clear();
  void Add(uint8_t v) { ++bins[v]; }
  // Pixels p with lo < p < hi (exclusive bounds; use -1 and 256 for none).
  uint32_t CountBetween(int lo, int hi) const;
  // First grey level at which the cumulative count of the pixels lo < p < hi reaches target.
  int32_t LevelReaching(uint32_t target, int lo = -1, int hi = 256) const;
};

// Quantile at fraction num/den of the pixels lo < p < hi: target trunc(n num / den).
inline int32_t Quantile(const Histogram& h, uint32_t num, uint32_t den, int lo = -1, int hi = 256) {
  const uint32_t n = h.CountBetween(lo, hi);
  return h.LevelReaching(static_cast<uint32_t>(uint64_t{n} * num / den), lo, hi);
}

}  // namespace ocuvant::engine::smallbig
