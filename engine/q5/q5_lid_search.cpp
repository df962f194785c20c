// The eyelid curve search of stage 5. A curve's row at a column is c + off(k, h, x), so
// the curves of one (k, h) read the same columns at rows 4 apart: with each column's
// row differences grouped by row residue modulo 4, the energies of all their c are
// sums of neighbouring bytes, added side by side.
#include <algorithm>
#include <cstdlib>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

constexpr int32_t kHFrom = -88, kHTo = 88, kHStep = 8;
constexpr int32_t kKStep = 2, kCStep = 4, kColumnStep = 8;

int32_t OffsetCount(const LidRange& q) {
  return q.cTo > q.cFrom ? (q.cTo - q.cFrom + kCStep - 1) / kCStep : 0;
}

// Columns of the search: x = 180 - ri + 8 j while x - 180 <= ri.
int32_t ColumnCount(int32_t ri) {
  return ri >= 0 ? 2 * ri / kColumnStep + 1 : 0;
}

int32_t EdgeEnergy(const Plane& crop, int32_t ri, int32_t base, int32_t dy, EyelidCurve curve) {
  int32_t e = 0;
  for (int32_t x = kCropCentre - ri; x - kCropCentre <= ri; x += kColumnStep) {
    const int32_t y = base + Parabola(curve.c, curve.k, x - kCropCentre - curve.h);
    const int32_t y2 = y + dy;
    if (x < 0 || x >= kCropSide || y < 0 || y2 < 0 || y >= kCropSide || y2 >= kCropSide) continue;
    e += std::abs(crop.At(x, y) - crop.At(x, y2));
  }
  return e;
}

}  // namespace

LidFit SearchLidPlain(const Plane& crop, int32_t ri, const LidRange& q) {
  LidFit fit;
  for (int32_t k = q.kFrom; k <= q.kTo; k += kKStep)
    for (int32_t h = kHFrom; h <= kHTo; h += kHStep)
      for (int32_t c = q.cFrom; c < q.cTo; c += kCStep) {
        const int32_t e = EdgeEnergy(crop, ri, q.base, q.dy, {c, k, h});
        if (e >= fit.energy) fit = {{c, k, h}, e};
      }
  return fit;
}

LidFit SearchLid(LidScratch& w, const Plane& crop, int32_t ri, const LidRange& q) {
  const int32_t offsets = OffsetCount(q);
  const int32_t columns = ColumnCount(ri);
  if (offsets == 0 || offsets > kLidOffsets || columns > kLidColumns) {
    return SearchLidPlain(crop, ri, q);
  }
  // Columns inside the cut (the others add nothing) and the rows every curve reaches.
  int32_t used = 0;
  for (int32_t j = 0; j < columns; ++j) {
    const int32_t x = kCropCentre - ri + kColumnStep * j;
    if (x >= 0 && x < kCropSide) w.column[used++] = x;
  }
  int32_t offMin = 0, offMax = 0;
  for (int32_t k = q.kFrom; k <= q.kTo; k += kKStep)
    for (int32_t h = kHFrom; h <= kHTo; h += kHStep)
      for (int32_t j = 0; j < used; ++j) {
        const int32_t off = Parabola(0, k, w.column[j] - kCropCentre - h);
        offMin = std::min(offMin, off);
        offMax = std::max(offMax, off);
      }
  const int32_t cLast = q.cFrom + kCStep * (offsets - 1);
  const int32_t yLo = q.base + q.cFrom + offMin;
  const int32_t rows = q.base + cLast + offMax - yLo + 1;
  if (rows > kCStep * kLidQuarterRows) return SearchLidPlain(crop, ri, q);

  // diff[j][s % 4][s / 4] = |C(x, y) - C(x, y + dy)| at y = yLo + s, 0 where either
  // row is outside the cut.
  for (int32_t j = 0; j < used; ++j) {
    const int32_t x = w.column[j];
    for (int32_t s = 0; s < rows; ++s) {
      const int32_t y = yLo + s, y2 = y + q.dy;
      const bool inside = y >= 0 && y < kCropSide && y2 >= 0 && y2 < kCropSide;
      w.diff[j][s & 3][s >> 2] =
          inside ? static_cast<uint8_t>(std::abs(crop.At(x, y) - crop.At(x, y2))) : 0;
    }
  }

  // Energies of one (k, h) for every c: at most 48 columns x 255 fit 16 bits.
  LidFit fit;
  for (int32_t k = q.kFrom; k <= q.kTo; k += kKStep)
    for (int32_t h = kHFrom; h <= kHTo; h += kHStep) {
      uint16_t* energy = w.energy;
      std::fill(energy, energy + offsets, uint16_t{0});
      for (int32_t j = 0; j < used; ++j) {
        const int32_t s0 = q.base + q.cFrom + Parabola(0, k, w.column[j] - kCropCentre - h) - yLo;
        const uint8_t* d = &w.diff[j][s0 & 3][s0 >> 2];
        for (int32_t t = 0; t < offsets; ++t) energy[t] = static_cast<uint16_t>(energy[t] + d[t]);
      }
      for (int32_t t = 0; t < offsets; ++t) {
        if (energy[t] >= fit.energy) fit = {{q.cFrom + kCStep * t, k, h}, energy[t]};
      }
    }
  return fit;
}

}  // namespace ocuvant::engine::q5
