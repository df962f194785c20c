// Dark-spot search, local focus and movement, dark threshold, reflection removal, pupil size
// estimate and refinement, iris grey level: everything before the pupil circle search.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/smallbig/image_ops.h"
#include "engine/smallbig/pipeline.h"
#include "engine/smallbig/running_sums.h"

namespace ocuvant::engine::smallbig {

namespace {

struct Block {
  int32_t x, y, sum;
};

// Dark-spot detector over the candidates x = x0, x0 + 4, ... < x1 and y = y0, y0 + 4, ... < y1:
// score = 96 I + far ring (bottom side x3) - 2 near ring (bottom side x3). The best score
// wins, ties to the later candidate; the running best starts at 0. The Small engine also
// needs the columns x -/+ sideOffset to outweigh the near ring. Returns false without a
// winner. Ring sides come from running column sums and strided row prefixes (exact).
bool DetectDarkSpot(Stage& st, int x0, int x1, int y0, int y1, int32_t* bestScore, int* bx,
                    int* by) {
  const KindParams& k = st.k;
  const SpotDetector& d = k.spot;
  EngineState& s = st.s;
  const int w = k.width, fh = d.farHalf, nh = d.nearHalf;
  *bestScore = 0;
  *bx = *by = -1;
  if (x0 >= x1) return false;
  const int xLast = x0 + 4 * ((x1 - 1 - x0) / 4);
  const int col0 = x0 - fh;  // the lattice of columns = x0 mod 4 (all offsets are multiples of 4)
  const int columns = (xLast - col0 + fh) / 4 + 1;
  StridedColumns far(st.img, w, col0, columns, -fh, d.farSpacing, d.farCount, s.farColumns[0]);
  StridedColumns near(st.img, w, col0, columns, -nh, d.nearSpacing, d.nearCount, s.nearColumns);
  StridedColumns side(st.img, w, col0, columns, 0, 1, d.sideCount, s.sideColumns);
  int32_t(&prefix)[4][kMaxWidth] = s.rowPrefix;
  for (int i = 0, y = y0; y < y1; ++i, y += 4) {
    const int32_t* farV = far.Row(i, y);
    const int32_t* nearV = near.Row(i, y);
    const int32_t* sideV = d.sideOffset > 0 ? side.Row(i, y) : nullptr;
    StridedPrefix(st.img + (y - fh) * w, w, d.farSpacing, prefix[0]);
    StridedPrefix(st.img + (y + fh) * w, w, d.farSpacing, prefix[1]);
    StridedPrefix(st.img + (y - nh) * w, w, d.nearSpacing, prefix[2]);
    StridedPrefix(st.img + (y + nh) * w, w, d.nearSpacing, prefix[3]);
    const uint8_t* row = st.img + y * w;
    for (int x = x0, j = fh / 4; x < x1; x += 4, ++j) {
      const int32_t ft = StridedSum(prefix[0], x - fh, d.farSpacing, d.farCount);
      const int32_t fb = StridedSum(prefix[1], x - fh, d.farSpacing, d.farCount);
      const int32_t nt = StridedSum(prefix[2], x - nh, d.nearSpacing, d.nearCount);
      const int32_t nb = StridedSum(prefix[3], x - nh, d.nearSpacing, d.nearCount);
      const int32_t fl = farV[j - fh / 4], fr = farV[j + fh / 4];
      const int32_t nl = nearV[j - nh / 4], nr = nearV[j + nh / 4];
      const int32_t score = 96 * row[x] + ft + fl + fr + 3 * fb - 2 * (nt + nl + nr + 3 * nb);
      if (score < *bestScore) continue;
      if (sideV != nullptr &&
          2 * (sideV[j - d.sideOffset / 4] + sideV[j + d.sideOffset / 4]) <= nt + nb + nl + nr)
        continue;
      *bestScore = score;
      *bx = x;
      *by = y;
    }
  }
  return *bx >= 0;
}

// Darkest block around (x, y); ties go to the later position in scan order.
Block DarkestBlock(const uint8_t* img, int w, const DarkBlock& b, int x, int y) {
  Block best{x, y, b.start};
  for (int oy = -b.reach; oy <= b.reach; oy += b.offsetStep) {
    for (int ox = -b.reach; ox <= b.reach; ox += b.offsetStep) {
      int32_t sum = 0;
      for (int dy = b.lo; dy <= b.hi; dy += b.sampleStep) {
        const uint8_t* row = img + (y + oy + dy) * w + x + ox;
        for (int dx = b.lo; dx <= b.hi; dx += b.sampleStep) sum += row[dx];
      }
      if (sum <= best.sum) best = {x + ox, y + oy, sum};
    }
  }
  return best;
}

// v + (v >> 3) + add, v the mean of the darkest block or the median of a square around it.
int32_t DarkThresholdOf(const uint8_t* img, int w, const DarkBlock& b, const ThresholdRule& r,
                        const Block& blk, int32_t* level) {
  if (r.squareLo > r.squareHi) {
    const int side = (b.hi - b.lo) / b.sampleStep + 1;
    *level = blk.sum / (side * side);
  } else {
    Histogram h;
    h.Clear();
    for (int dy = r.squareLo; dy <= r.squareHi; ++dy)
      for (int dx = r.squareLo; dx <= r.squareHi; ++dx) h.Add(img[(blk.y + dy) * w + blk.x + dx]);
    *level = Quantile(h, 1, 2);
  }
  return *level + (*level >> 3) + r.add;
}

bool InZone(const KindParams& k, int x, int y) {
  return x >= k.zoneX0 && x <= k.zoneX1 && y >= k.zoneY0 && y <= k.zoneY1;
}

// Median of q25 and med when they lie far apart, else the median.
int32_t RobustLevel(const Histogram& h, int lo, int hi) {
  const int32_t q25 = Quantile(h, 1, 4, lo, hi);
  const int32_t med = Quantile(h, 1, 2, lo, hi);
  return med - q25 > 64 ? (q25 + med) / 2 : med;
}

// Paints out specular reflections in one row; `step` +1 scans left to right (fill from the
// pixels to the left), -1 right to left (fill from the right). The ring's top and bottom
// sides come from row prefixes, its columns from sums without row y, which this row's
// fills may change and so is read live.
void ReflectionPass(Stage& st, int y, int xFrom, int xTo, int step) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  uint8_t* row = st.img + y * k.width;
  const int h = k.ringHalf, rs = k.ringSpacing, n = k.ringCount;
  const bool liveRow = h % rs == 0 && h / rs < n;
  int leftmost = -1, rightmost = -1;
  uint8_t leftFill = 0, rightFill = 0;
  for (int x = xFrom;; x += step) {
    int32_t ring = StridedSum(s.rowPrefix[0], x - h, rs, n) +
                   StridedSum(s.rowPrefix[1], x - h, rs, n) + s.ringColumns[x - h] +
                   s.ringColumns[x + h];
    if (liveRow) ring += row[x - h] + row[x + h];
    const int32_t excess = 64 * row[x] - ring;
    if (k.reflStrict ? excess > s.glintThr : excess >= s.glintThr) {
      int32_t beside = 0;
      for (int d = 3; d <= 8; ++d) beside += row[x - step * d];
      const uint8_t fill = static_cast<uint8_t>((beside + 2 * s.darkLevel) >> 3);
      for (int d = -k.fillHalf; d <= k.fillHalf; ++d) row[x + d] = fill;
      if (leftmost < 0 || x < leftmost) leftmost = x, leftFill = fill;
      if (rightmost < 0 || x > rightmost) rightmost = x, rightFill = fill;
    }
    if (x == xTo) break;
  }
  if (leftmost >= 0) {
    for (int d = -k.fillExtend; d <= 0; ++d) row[leftmost + d] = leftFill;
    for (int d = 0; d <= k.fillExtend; ++d) row[rightmost + d] = rightFill;
  }
}

// Both passes of row y around (xd, yd).
void RemoveReflectionsInRow(Stage& st, int y) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  const int w = k.width, h = k.ringHalf, rs = k.ringSpacing;
  StridedPrefix(st.img + (y - h) * w, w, rs, s.rowPrefix[0]);
  StridedPrefix(st.img + (y + h) * w, w, rs, s.rowPrefix[1]);
  for (int c = s.xd - k.reflReach - h; c <= s.xd + k.reflReach + h; ++c) {
    int32_t sum = 0;
    for (int i = 0; i < k.ringCount; ++i) {
      const int r = y - h + rs * i;
      if (r != y) sum += st.img[r * w + c];
    }
    s.ringColumns[c] = sum;
  }
  ReflectionPass(st, y, s.xd - k.reflReach, s.xd - 1, +1);
  ReflectionPass(st, y, s.xd + k.reflReach, s.xd + 1, -1);
}

// Size of the dark region around (xd, yd): radius estimate from the dark pixel count.
int32_t SizeEstimate(Stage& st) {
  const KindParams& k = st.k;
  const int w = k.width, xd = st.s.xd, yd = st.s.yd, thr = st.s.thr;
  const uint8_t* img = st.img;
  int reach = k.sizeNone;
  for (int i = k.sizeFirst; i <= k.sizeLast; i += 2) {
    int m = 0;
    for (int t = 0; t < i; ++t) {
      const int o = -i + 2 * t;
      m += img[(yd - i) * w + xd + o] <= thr || img[(yd + i) * w + xd + o] <= thr ||
           img[(yd + o) * w + xd - i] <= thr || img[(yd + o) * w + xd + i] <= thr;
    }
    if (m < i / k.sizeDivisor) {
      reach = i;
      break;
    }
  }
  int32_t dark = 0;
  for (int y = yd - reach; y <= yd + reach; ++y)
    for (int x = xd - reach; x <= xd + reach; ++x) dark += img[y * w + x] <= thr;
  const double area = k.sizeAreaOverPi && dark < 800 ? dark / std::numbers::pi : dark / 4;
  return static_cast<int32_t>(std::trunc(std::sqrt(area) + 0.5));
}

// Darkest disc-sized block around (xd, yd), sampled every refineSampleStep pixels.
Block RefinedSpot(const Stage& st, int r) {
  const KindParams& k = st.k;
  const int w = k.width, ss = k.refineSampleStep;
  const int n = (2 * r + ss - 1) / ss;  // samples per axis, below +r
  Block best{st.s.xd, st.s.yd, r * r * k.refineStartFactor};
  for (int oy = -k.refineReach; oy <= k.refineReach; oy += k.refineOffsetStep) {
    for (int ox = -k.refineReach; ox <= k.refineReach; ox += k.refineOffsetStep) {
      const int x = st.s.xd + ox, y = st.s.yd + oy;
      int32_t sum = 0;
      for (int i = 0; i < n; ++i) {
        const uint8_t* row = st.img + (y - r + ss * i) * w + x - r;
        for (int j = 0; j < n; ++j) sum += row[ss * j];
      }
      if (sum <= best.sum) best = {x, y, sum};
    }
  }
  return best;
}

int32_t Square33(const uint8_t* img, int w, int x, int y) {
  int32_t s = 0;
  for (int dy = -16; dy <= 16; ++dy)
    for (int dx = -16; dx <= 16; ++dx) s += img[(y + dy) * w + x + dx];
  return s;
}

}  // namespace

void RemoveReflections(Stage& st) {
  const KindParams& k = st.k;
  for (int y = st.s.yd + k.reflRowsBelow; y >= st.s.yd - k.reflRowsAbove; --y)
    RemoveReflectionsInRow(st, y);
}

int32_t DarkSpotStage(Stage& st) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  const int w = k.width;
  uint8_t* img = st.img;

  // 1-2. Dark-spot detector over the clamped search rectangle, step 4.
  const int x0 = std::clamp(st.left, k.zoneX0, k.zoneX1);
  const int x1 = std::clamp(st.right, k.zoneX0, k.zoneX1);
  const int y0 = std::clamp(st.top, k.zoneY0, k.zoneY1);
  const int y1 = std::clamp(st.bottom, k.zoneY0, k.zoneY1);
  if (y0 >= y1) return kNoDarkSpot;
  int32_t best = 0;
  int bx = -1, by = -1;
  if (!DetectDarkSpot(st, x0, x1, y0, y1, &best, &bx, &by) || best < k.spot.minScore)
    return kNoDarkSpot;
  s.xs = bx;
  s.ys = by;

  // 3. Local focus and movement around the first spot.
  if (const int32_t code = LocalFocus(st); code != kOk) return code;

  // 4-5. Darkest block and dark threshold.
  Block blk = DarkestBlock(img, w, k.block1, s.xs, s.ys);
  s.xd = blk.x;
  s.yd = blk.y;
  s.blockMin = blk.sum;
  s.thr = DarkThresholdOf(img, w, k.block1, k.thr1, blk, &s.darkLevel);
  if (s.thr > k.thrMax || !InZone(k, s.xd, s.yd)) return kDarkThreshold;

  // 6. Bright level: 7/8 quantile of the pixels above the dark threshold.
  Histogram h;
  h.Clear();
  for (int y = s.yd - k.brightHalf; y <= s.yd + k.brightHalf; y += 4)
    for (int x = s.xd - k.brightHalf; x <= s.xd + k.brightHalf; x += 4) h.Add(img[y * w + x]);
  s.bright = Quantile(h, 7, 8, s.thr, 256);

  // 7. Iris grey level around the spot and the reflection threshold from it.
  h.Clear();
  for (int y = s.yd + k.glintRowLo; y <= s.yd + k.glintRowHi; y += 2)
    for (int x = s.xd - k.glintColHalf; x <= s.xd + k.glintColHalf; x += 2)
      if (y >= 0 && y < k.height && x >= 0 && x < w) h.Add(img[y * w + x]);
  int32_t level;
  if (k.irisLevelTwoMedians) {
    const int32_t m1 = Quantile(h, 1, 2, s.thr, s.bright);
    const int32_t upper = (m1 + 3 * s.bright) / 4;
    level = Quantile(h, 1, 2, s.thr, upper);
    s.irisLevel = level;
    if (level > k.irisLevelMax) return kIrisLevelHigh;
    if (level < k.irisLevelMin) return kIrisLevelLow;
  } else {
    level = RobustLevel(h, s.thr, s.bright);
  }
  s.glintThr = (level / 16 + 74) * 64;
  const int32_t m2 = level;

  // 8. Reflection removal in place, bottom row first.
  RemoveReflections(st);

  // 9. Darkest block again on the cleaned image.
  blk = DarkestBlock(img, w, k.block2, s.xs, s.ys);
  s.xd = blk.x;
  s.yd = blk.y;
  s.blockMin = blk.sum;
  s.thr = DarkThresholdOf(img, w, k.block2, k.thr2, blk, &s.darkLevel);
  if (s.thr > k.thrMax || !InZone(k, s.xd, s.yd)) return kDarkThresholdClean;

  // 10-11. Pupil size estimate.
  int32_t r = SizeEstimate(st);
  s.sizeEstimate = r;
  if (r < k.sizeMin || r > k.sizeMax) return kPupilSize;
  r = std::max(r, k.sizeFloor);

  // 12. Refined spot.
  blk = RefinedSpot(st, r);
  s.xd = blk.x;
  s.yd = blk.y;
  if (!InZone(k, s.xd, s.yd)) return kRefinedSpot;
  if (k.refineFallback) {
    // A refined spot that wandered far toward a place that is not much darker is not trusted.
    const int32_t sref = Square33(img, w, s.xd, s.yd);
    const int32_t sfirst = Square33(img, w, s.xs, s.ys);
    if ((std::abs(s.xd - s.xs) > 20 || std::abs(s.yd - s.ys) > 20) && r > 16 &&
        sfirst < 5 * sref / 4) {
      s.xd = s.xs;
      s.yd = s.ys;
      r = 20;
    }
  }
  s.sizeEstimate = r;

  // 13-14. Crop around the spot; iris grey level on it.
  const int S = k.crop;
  CutCrop(img, w, k.height, s.xd, s.yd, s.crop, S, 0);
  h.Clear();
  const int grow = k.levelBySize * r;
  for (int v = k.levelRow0 - grow; v < k.levelRow1 + grow; v += 2)
    for (int u = k.levelCol0 - grow; u < k.levelCol1 + grow; u += 2) h.Add(s.crop[v * S + u]);
  if (k.irisLevelTwoMedians) {
    s.irisLevel = Quantile(h, 1, 2, s.thr, (m2 + 3 * s.bright) / 4);
  } else {
    s.irisLevel = RobustLevel(h, s.thr, s.bright);
  }
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
