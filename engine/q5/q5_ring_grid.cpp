// Ring sums over a grid of centres (the pupil circle's levels). The window the rings
// cover is copied once, 0 outside the cut, with its columns grouped by residue modulo
// the centre step: a ring point of the centres x0, x0 + step, ... of one row is then a
// run of neighbouring bytes, added into one sum per centre side by side.
#include <algorithm>
#include <cstdlib>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

constexpr int32_t kMaxGridArcs = 3;
constexpr int32_t kFlushPoints = 256;  // 256 x 255 < 65536

int32_t GridCount(int32_t from, int32_t to, int32_t step) {
  return to >= from ? (to - from) / step + 1 : 0;
}

}  // namespace

void GridRingSumsPlain(const Plane& crop, const CentreGrid& g, int32_t r0, int32_t n,
                       const Arc* arcs, int32_t arcCount, int32_t* sums, int32_t stride) {
  RingOffsets ring;
  for (int32_t i = 0; i < n; ++i) {
    int32_t centre = 0;
    for (int32_t y = g.y0; y <= g.y1; y += g.step)
      for (int32_t x = g.x0; x <= g.x1; x += g.step, ++centre) sums[centre * stride + i] = 0;
    for (int32_t a = 0; a < arcCount; ++a) {
      ring.Build(crop, r0 + i, arcs[a]);
      centre = 0;
      for (int32_t y = g.y0; y <= g.y1; y += g.step)
        for (int32_t x = g.x0; x <= g.x1; x += g.step, ++centre)
          sums[centre * stride + i] += ring.Sum(crop, x, y);
    }
  }
}

void GridRingSums(RingWindow& w, const Plane& crop, const CentreGrid& g, int32_t r0, int32_t n,
                  const Arc* arcs, int32_t arcCount, int32_t* sums, int32_t stride) {
  const int32_t s = g.step;
  const int32_t nx = GridCount(g.x0, g.x1, s), ny = GridCount(g.y0, g.y1, s);
  // Every ring point lies within `reach` - 1 of its centre on both axes.
  const int32_t reach = std::max(std::abs(r0), std::abs(r0 + n - 1)) + 1;
  const int32_t spanX = (nx - 1) * s + 2 * reach + 1, spanY = (ny - 1) * s + 2 * reach + 1;
  const int32_t quarter = s > 0 ? (spanX + s - 1) / s : 0;  // columns of one residue
  if (s < 1 || nx == 0 || ny == 0 || nx > kMaxGridRow || arcCount > kMaxGridArcs ||
      int64_t{s} * spanY * quarter > kRingWindowBytes) {
    GridRingSumsPlain(crop, g, r0, n, arcs, arcCount, sums, stride);
    return;
  }
  // bytes[(residue * spanY + row) * quarter + q] = C(xs + q * s + residue, ys + row).
  const int32_t xs = g.x0 - reach, ys = g.y0 - reach;
  uint8_t* out = w.bytes;
  for (int32_t residue = 0; residue < s; ++residue) {
    for (int32_t row = 0; row < spanY; ++row) {
      const int32_t y = ys + row;
      for (int32_t q = 0, x = xs + residue; q < quarter; ++q, x += s) {
        *out++ = crop.Inside(x, y) ? crop.At(x, y) : uint8_t{0};
      }
    }
  }
  RingOffsets ring;
  int32_t start[kMaxGridArcs * kDirections];  // window index of each point, centre row 0
  for (int32_t i = 0; i < n; ++i) {
    int32_t points = 0;
    for (int32_t a = 0; a < arcCount; ++a) {
      ring.Build(crop, r0 + i, arcs[a]);
      for (int32_t o = 0; o < ring.count; ++o) {
        const int32_t col = reach + ring.dx[o], row = reach + ring.dy[o];
        start[points++] = ((col % s) * spanY + row) * quarter + col / s;
      }
    }
    for (int32_t cy = 0; cy < ny; ++cy) {
      // All kMaxGridRow lanes are added (the window has that much slack at its end);
      // 16-bit lanes hold kFlushPoints x 255 and go to 32 bits after each block.
      int32_t acc[kMaxGridRow] = {};
      const uint8_t* rowBase = w.bytes + cy * s * quarter;
      for (int32_t from = 0; from < points; from += kFlushPoints) {
        uint16_t lanes[kMaxGridRow] = {};
        const int32_t to = std::min(points, from + kFlushPoints);
        for (int32_t o = from; o < to; ++o) {
          const uint8_t* d = rowBase + start[o];
          for (int32_t t = 0; t < kMaxGridRow; ++t) {
            lanes[t] = static_cast<uint16_t>(lanes[t] + d[t]);
          }
        }
        for (int32_t t = 0; t < kMaxGridRow; ++t) acc[t] += lanes[t];
      }
      for (int32_t t = 0; t < nx; ++t) sums[(cy * nx + t) * stride + i] = acc[t];
    }
  }
}

}  // namespace ocuvant::engine::q5
