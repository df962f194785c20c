#include "engine/smallbig/radial_profile.h"

#include <algorithm>
#include <cstdlib>

#include "engine/smallbig/image_ops.h"

namespace ocuvant::engine::smallbig {

RingSamples BuildRings(EngineState& s, int stride, int r0, int radii, const Arc* arcs, int arcCount,
                       int step) {
  int dirs = 0;
  for (int a = 0; a < arcCount; ++a) dirs += arcs[a].count;
  radii = std::clamp(radii, 0, kMaxProfileRadii);
  RingSamples rs{r0, radii, dirs, 0, stride, s.offX, s.offY, s.offsets};
  int i = 0;
  for (int n = 0; n < radii; ++n) {
    const int r = r0 + n;
    rs.reach = std::max(rs.reach, std::abs(r));
    for (int a = 0; a < arcCount; ++a) {
      for (int d = 0; d < arcs[a].count; ++d, ++i) {
        const int m = DirIndex(arcs[a].first - step * d);
        const int x = Along(r, DirX[m]), y = Along(r, DirY[m]);
        s.offX[i] = static_cast<int16_t>(x);
        s.offY[i] = static_cast<int16_t>(y);
        s.offsets[i] = y * stride + x;
      }
    }
  }
  return rs;
}

void RadialSums(const uint8_t* img, int width, int height, int cx, int cy, const RingSamples& rs,
                int32_t* sums) {
  const bool inside = cx - rs.reach >= 0 && cx + rs.reach < width && cy - rs.reach >= 0 &&
                      cy + rs.reach < height && rs.stride == width;
  int i = 0;
  if (inside) {
    const uint8_t* c = img + cy * width + cx;
    for (int n = 0; n < rs.radii; ++n) {
      int32_t sum = 0;
      for (int d = 0; d < rs.dirs; ++d, ++i) sum += c[rs.linear[i]];
      sums[n] = sum;
    }
    return;
  }
  for (int n = 0; n < rs.radii; ++n) {
    int32_t sum = 0;
    for (int d = 0; d < rs.dirs; ++d, ++i) {
      const int x = cx + rs.dx[i], y = cy + rs.dy[i];
      if (x >= 0 && x < width && y >= 0 && y < height) sum += img[y * width + x];
    }
    sums[n] = sum;
  }
}

int SmoothProfile(const int32_t* sums, int count, int lag, const int32_t* kernel, int32_t* out) {
  const int len = count - lag;
  if (len <= 0) return len;
  int32_t diff[kMaxProfileRadii];
  for (int n = 0; n < len; ++n) diff[n] = sums[n + lag] - sums[n];
  for (int n = 0; n < len; ++n) {
    int32_t q = 0;
    for (int j = 0; j < 9; ++j) {
      int i = n + j - 4;
      i = i < len ? std::abs(i) : std::abs(2 * len - 2 - i);
      q += diff[std::min(i, len - 1)] * kernel[j];  // min: only for profiles shorter than 5
    }
    out[n] = q;
  }
  return len;
}

}  // namespace ocuvant::engine::smallbig
