#include "engine/smallbig/radial_profile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

CentreRow PrepareCentreRow(EngineState& s, const uint8_t* img, int width, int height,
                           const RingSamples& rs, int cx0, int step, int count, int cyFirst,
                           int cyLast) {
  CentreRow row{img,
                width,
                height,
                cx0,
                step,
                count,
                cyFirst,
                cyLast,
                false,
                s.centreRowImage,
                0,
                0,
                s.centreRowOffsets};
  const int last = cx0 + (count - 1) * step;
  const int reach = rs.reach;
  // 16-bit lanes: one radius adds at most dirs bytes.
  row.fast = count > 0 && step >= 1 && step <= kMaxCentreStep && width <= kMaxCrop &&
             height <= kMaxCrop && rs.stride == width && cx0 - reach >= 0 && last + reach < width &&
             cyFirst <= cyLast && cyFirst - reach >= 0 && cyLast + reach < height &&
             rs.dirs * 255 <= 65535;
  if (!row.fast) return row;
  // The window the rings of these centres cover, each of its rows laid out as the
  // columns x' = 0, step, 2 step, ..., then 1, 1 + step, ... (x' from the window's left).
  const int left = cx0 - reach, top = cyFirst - reach;
  const int columns = last + reach - left + 1, rows = cyLast - cyFirst + 2 * reach + 1;
  const int phaseWidth = (columns + step - 1) / step;
  row.groupedStride = phaseWidth * step;
  row.groupedTop = top;
  for (int y = 0; y < rows; ++y) {
    const uint8_t* src = img + (top + y) * width + left;
    uint8_t* dst = s.centreRowImage + y * row.groupedStride;
    if (step == 1) {
      std::memcpy(dst, src, static_cast<size_t>(columns));
      continue;
    }
    for (int p = 0; p < step; ++p) {
      uint8_t* out = dst + p * phaseWidth;
      for (int x = p; x < columns; x += step) *out++ = src[x];
    }
  }
  int32_t column[2 * kMaxCrop + 1];  // window column x' -> its place in a grouped row
  for (int x = 0, p = 0, j = 0; x <= 2 * reach; ++x) {
    column[x] = p * phaseWidth + j;
    if (++p == step) {
      p = 0;
      ++j;
    }
  }
  const int samples = rs.radii * rs.dirs;
  for (int i = 0; i < samples; ++i) {
    s.centreRowOffsets[i] = (reach + rs.dy[i]) * row.groupedStride + column[reach + rs.dx[i]];
  }
  return row;
}

void CentreRowSums(const CentreRow& row, const RingSamples& rs, int cy, int first, int n,
                   int32_t* sums) {
  if (!row.fast || cy < row.cyFirst || cy > row.cyLast) {
    for (int k = 0; k < n; ++k) {
      RadialSums(row.img, row.width, row.height, row.cx0 + (first + k) * row.step, cy, rs,
                 sums + k * rs.radii);
    }
    return;
  }
  // Offsets count from the window row `reach` above the centre row.
  const uint8_t* base = row.grouped + (cy - rs.reach - row.groupedTop) * row.groupedStride + first;
  for (int k0 = 0; k0 < n; k0 += kRowLanes) {
    const int lanes = std::min(kRowLanes, n - k0);
    int i = 0;
    for (int r = 0; r < rs.radii; ++r) {
      // A full block of lanes always: the layout is padded, extra lanes are dropped.
      uint16_t acc[kRowLanes] = {};
      for (int d = 0; d < rs.dirs; ++d, ++i) {
        const uint8_t* p = base + k0 + row.offsets[i];
        for (int k = 0; k < kRowLanes; ++k) acc[k] = static_cast<uint16_t>(acc[k] + p[k]);
      }
      for (int k = 0; k < lanes; ++k) sums[(k0 + k) * rs.radii + r] = acc[k];
    }
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
