// Pupil circle: three-level coarse-to-fine search of the strongest dark-to-bright radial
// edge on the crop around the dark spot, then the pupil contrast check on the image.
#include <algorithm>

#include "engine/smallbig/image_ops.h"
#include "engine/smallbig/pipeline.h"
#include "engine/smallbig/radial_profile.h"

namespace ocuvant::engine::smallbig {

namespace {

struct CircleBest {
  int32_t value;
  int cx, cy, n;
};

// Sum of image pixels on the radii r0..r1 (inclusive) over `arc`, points outside skipped.
int64_t RingSum(Stage& st, int cx, int cy, int r0, int r1, Arc arc) {
  const RingSamples rs = BuildRings(st.s, st.k.width, r0, r1 - r0 + 1, &arc, 1, 1);
  int32_t sums[kMaxProfileRadii];
  RadialSums(st.img, st.k.width, st.k.height, cx, cy, rs, sums);
  int64_t total = 0;
  for (int n = 0; n < rs.radii; ++n) total += sums[n];
  return total;
}

}  // namespace

int32_t PupilCircleStage(Stage& st) {
  const KindParams& k = st.k;
  const PupilSearch& ps = k.pupil;
  EngineState& s = st.s;
  const int S = k.crop, C = S / 2;
  uint8_t* crop = s.crop;

  // 15. Flatten everything brighter than the iris so only the pupil edge stands out.
  const int32_t flat = std::max(0, s.irisLevel + 3 * s.irisLevel / 4 - 8);
  for (int i = 0; i < S * S; ++i)
    if (crop[i] > flat) crop[i] = static_cast<uint8_t>(flat);

  // 16-18. Three levels, each around the best of the previous one.
  const int r = s.sizeEstimate;
  int rlo = r < ps.startSplit1 ? ps.start0 : r < ps.startSplit2 ? ps.start1 : ps.start2;
  int rhi = r <= ps.endSplit ? ps.endSmall : ps.endLarge;  // exclusive
  int lag = r < ps.lagSplit ? ps.lagSmall : ps.lagLarge;
  int cx0 = C - ps.half[0], cx1 = C + ps.half[0];  // inclusive
  int cy0 = cx0, cy1 = cx1;
  CircleBest best{0, C, C, 0};
  int rhob = rlo;
  const Arc arc{ps.dirFirst, ps.dirCount};
  for (int level = 0; level < 3; ++level) {
    const RingSamples rs = BuildRings(s, S, rlo, rhi - rlo, &arc, 1, ps.dirStep);
    const int step = ps.step[level];
    best.value = 0;
    const int columns = cx1 >= cx0 ? (cx1 - cx0) / step + 1 : 0;
    const CentreRow row = PrepareCentreRow(s, crop, S, S, rs, cx0, step, columns, cy0, cy1);
    for (int cy = cy0; cy <= cy1; cy += step) {
      for (int c0 = 0; c0 < columns; c0 += kRowLanes) {
        const int lanes = std::min(kRowLanes, columns - c0);
        int32_t sums[kRowLanes * kMaxProfileRadii], q[kMaxProfileRadii];
        CentreRowSums(row, rs, cy, c0, lanes, sums);
        for (int c = 0; c < lanes; ++c) {
          const int cx = cx0 + (c0 + c) * step;
          const int len =
              SmoothProfile(sums + c * rs.radii, rs.radii, lag, SmoothKernels[level], q);
          for (int n = 0; n < len; ++n)
            if (q[n] >= best.value) best = {q[n], cx, cy, n};
        }
      }
    }
    rhob = rlo + best.n;
    if (level == 2) break;
    rlo = std::max(rhob - ps.before[level], ps.floorRadius);
    rhi = rhob + ps.after[level] + 1;
    lag = std::max(1, lag / 2);
    const int w = ps.half[level + 1];
    const int end = ps.inclusiveWindow ? w : w - 1;  // last offset taken
    cx0 = best.cx - w;
    cx1 = best.cx + end;
    cy0 = best.cy - w;
    cy1 = best.cy + end;
  }

  // 19. Pupil circle in image coordinates.
  s.px = s.xd + best.cx - C;
  s.py = s.yd + best.cy - C;
  s.rp = rhob;
  if (s.px < k.zoneX0 || s.px > k.zoneX1 || s.py < k.zoneY0 || s.py > k.zoneY1 ||
      s.rp < k.pupilRadiusMin || s.rp > k.pupilRadiusMax)
    return kPupilCircle;

  // 20. Pupil contrast: ring just inside the edge against the ring just outside, on all
  // directions but those around straight up (eyelid and lashes).
  const Arc contrastArc{320, 384};
  const int64_t outer = RingSum(st, s.px, s.py, s.rp + 7, s.rp + 13, contrastArc);
  const int64_t inner = RingSum(st, s.px, s.py, s.rp - 14, s.rp - 8, contrastArc);
  // A black outer ring gives no ratio; it cannot be a pupil edge.
  if (outer == 0) return kPupilContrast;
  const float ratio = static_cast<float>(inner) / static_cast<float>(outer);
  if (ratio > st.lim.pupilContrastMax) return kPupilContrast;

  // 21. Re-cut the crop around the pupil.
  CutCrop(st.img, k.width, k.height, s.px, s.py, crop, S, 0);
  if (k.fillPupilWithIrisLevel) {
    const int32_t below = (s.irisLevel + 3 * s.thr) / 4;
    const uint8_t level = static_cast<uint8_t>(s.irisLevel);
    for (int i = 0; i < S * S; ++i)
      if (crop[i] < below) crop[i] = level;
  }
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
