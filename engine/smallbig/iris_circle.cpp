// Iris circle: edge profiles on a left and a right arc, reconciled into two side radii,
// then a joint circle search; plausibility, gaze and sclera checks; grey levels.
#include <algorithm>
#include <cmath>

#include "engine/smallbig/image_ops.h"
#include "engine/smallbig/pipeline.h"
#include "engine/smallbig/radial_profile.h"

namespace ocuvant::engine::smallbig {

namespace {

constexpr int kOffsets[7] = {-7, -5, -3, -1, 1, 3, 5};
constexpr Arc kLeftSide{280, 90};  // 17 degrees above to 46 degrees below the left horizontal
constexpr Arc kRightSide{64, 90};  // 45 degrees below to 18 degrees above the right horizontal
constexpr Arc kJointArcs[2] = {{64, 96}, {288, 96}};

struct SideBest {
  int32_t value = 0;
  int n = 0, offset = 0;
};

// Smoothed profiles of one side for the seven vertical offsets; the best over all of them.
SideBest SideProfiles(Stage& st, Arc arc, int a0, int* len, int32_t (*profiles)[kMaxProfileRadii]) {
  const int S = st.k.crop, C = S / 2;
  const RingSamples rs = BuildRings(st.s, S, a0, st.k.sideRadiusLast - a0 + 1, &arc, 1, 1);
  SideBest best;
  for (int e = 0; e < 7; ++e) {
    int32_t sums[kMaxProfileRadii];
    RadialSums(st.s.crop, S, S, C, C + kOffsets[e], rs, sums);
    *len = SmoothProfile(sums, rs.radii, st.k.sideLag, SmoothKernels[0], profiles[e]);
    for (int n = 0; n < *len; ++n)
      if (profiles[e][n] >= best.value) best = {profiles[e][n], n, e};
  }
  return best;
}

// Largest value of `profile` within +-b of index `centre` (ties: later). Returns its index
// or -1 when none is at least 0; *value = the largest value, 0 if none.
int BestNear(const int32_t* profile, int len, int centre, int b, int32_t* value) {
  int index = -1;
  *value = 0;
  for (int n = std::max(0, centre - b); n < std::min(len, centre + b); ++n) {
    if (profile[n] >= *value) {
      *value = profile[n];
      index = n;
    }
  }
  return index;
}

int64_t ImageRingSum(Stage& st, int cx, int cy, int r0, int r1) {
  const RingSamples rs = BuildRings(st.s, st.k.width, r0, r1 - r0 + 1, kJointArcs, 2, 1);
  int32_t sums[kMaxProfileRadii];
  RadialSums(st.img, st.k.width, st.k.height, cx, cy, rs, sums);
  int64_t total = 0;
  for (int n = 0; n < rs.radii; ++n) total += sums[n];
  return total;
}

}  // namespace

int32_t IrisCircleStage(Stage& st) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  const int S = k.crop, C = S / 2;

  // 1. Side profiles around the pupil centre at seven vertical offsets.
  const int a0 = std::max(k.sideRadiusMin, 333 * s.rp / 256);
  int len = 0;
  const SideBest left = SideProfiles(st, kLeftSide, a0, &len, s.sideProfiles[0]);
  const SideBest right = SideProfiles(st, kRightSide, a0, &len, s.sideProfiles[1]);
  s.rl = a0 + left.n;
  s.rr = a0 + right.n;

  // 2. Reconcile the sides on the stronger side's offset: keep one radius, look for the
  // other within +-b of it, and keep the hypothesis with the larger combined response.
  const bool leftStronger = left.value >= right.value;
  const int offset = leftStronger ? left.offset : right.offset;
  const int32_t* lp = s.sideProfiles[0][offset];
  const int32_t* rp = s.sideProfiles[1][offset];
  int b;
  if (k.sideWindowBySide && !leftStronger) {
    b = static_cast<int>(0.17 * s.rr);
  } else {
    b = static_cast<int>(0.2 * (leftStronger ? s.rl : s.rr));
  }
  if (len > 0) {
    int32_t va = 0, vb = 0;
    const int ia = BestNear(rp, len, s.rl - a0, b, &va);
    const int ib = BestNear(lp, len, s.rr - a0, b, &vb);
    const int32_t sa = lp[s.rl - a0] + va;
    const int32_t sb = rp[s.rr - a0] + vb;
    if (sa > sb) {
      if (ia >= 0) s.rr = a0 + ia;
    } else if (ib >= 0) {
      s.rl = a0 + ib;
    }
  }

  // 3. Joint circle over a small window of centres and radii.
  const int r0 = (s.rl + s.rr) >> 1;
  const int radii = k.jointRadiusBelow + k.jointRadiusAbove + 1;
  const RingSamples rs = BuildRings(s, S, r0 - k.jointRadiusBelow, radii, kJointArcs, 2, 1);
  int32_t bestValue = 0;
  int bcx = C, bcy = C, bn = k.jointRadiusBelow;
  const int col0 = k.jointCol0 + r0 - s.rl, columns = k.jointCol1 - k.jointCol0 + 1;
  const CentreRow row =
      PrepareCentreRow(s, s.crop, S, S, rs, col0, 1, columns, k.jointRow0, k.jointRow1);
  for (int cy = k.jointRow0; cy <= k.jointRow1; ++cy) {
    for (int c0 = 0; c0 < columns; c0 += kRowLanes) {
      const int lanes = std::min(kRowLanes, columns - c0);
      int32_t sums[kRowLanes * kMaxProfileRadii], q[kMaxProfileRadii];
      CentreRowSums(row, rs, cy, c0, lanes, sums);
      for (int c = 0; c < lanes; ++c) {
        const int n = SmoothProfile(sums + c * rs.radii, rs.radii, 7, SmoothKernels[0], q);
        for (int i = 0; i < n; ++i) {
          if (q[i] >= bestValue) {
            bestValue = q[i];
            bcx = col0 + c0 + c;
            bcy = cy;
            bn = i;
          }
        }
      }
    }
  }
  s.irisR = r0 - k.jointRadiusBelow + bn;
  s.irisX = s.px + bcx - C;
  s.irisY = s.py + bcy - C;
  const int X = s.irisX, Y = s.irisY, R = s.irisR;

  // 5. Plausibility, gaze and sclera checks.
  if (X - R < 70 || X + R > k.borderRight || Y - R < 70 || Y + R > k.borderBottom)
    return kIrisBorder;
  if (R > st.lim.irisRadiusMax || R < st.lim.irisRadiusMin) return kIrisRadius;
  s.ratio = static_cast<float>(s.rp) / static_cast<float>(R);
  if (s.ratio > st.lim.ratioMax || s.ratio < st.lim.ratioMin) return kPupilIrisRatio;
  if (R - s.rp < k.minRingWidth ||
      !(X - R < s.px - s.rp && X + R > s.px + s.rp && Y - R < s.py - s.rp && Y + R > s.py + s.rp))
    return kRingWidth;
  const long double dx = X - s.xs, dy = Y - s.ys;
  s.gazeOffset = static_cast<int32_t>(std::trunc(100.0L * std::sqrt(dx * dx + dy * dy) / R));
  if (s.gazeOffset > st.th.gazeMax) return kGaze;
  const int64_t inner = ImageRingSum(st, X, Y, R - 18, R - 10);
  const int64_t outer = ImageRingSum(st, X, Y, R + 9, R + 17);
  // Two black rings give no ratio: no sclera edge there.
  if (inner == 0 && outer == 0) return kScleraContrast;
  if (inner > 0 && static_cast<float>(outer) / static_cast<float>(inner) < st.lim.scleraContrastMin)
    return kScleraContrast;

  // 6-7. Grey levels, then the crop centred on the iris.
  GreyLevels(st);
  CutCrop(st.img, k.width, k.height, X, Y, s.crop, S, 0);
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
