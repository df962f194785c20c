// Stage 4: the limbus from two side profiles, the iris circle and its checks, the gaze
// offset and the sclera contrast.
#include <algorithm>
#include <cmath>

#include "engine/q5/q5_profile.h"
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

// Side arcs: the left and right flanks, with a narrower inner part counted twice.
constexpr Arc kLeftWide{288, 96, 1};
constexpr Arc kLeftNarrow{272, 64, 1};
constexpr Arc kRightWide{64, 96, 1};
constexpr Arc kRightNarrow{48, 64, 1};

constexpr int32_t kProfileEnd = 169;  // last radius of the side profiles

struct Side {
  int32_t smoothed[kMaxProfile];
  int32_t radius = 0;
  int32_t value = 0;
};

void SideProfile(const Plane& crop, int32_t rmin, Arc wide, Arc narrow, Side* side) {
  int32_t p[kMaxProfile] = {};
  const int32_t n = kProfileEnd + 1 - rmin;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t r = rmin + i;
    p[i] = RingSum(crop, kCropCentre, kCropCentre - 2, r, wide) +
           RingSum(crop, kCropCentre, kCropCentre - 2, r, narrow);
  }
  const Peak peak = StepPeak(p, n, 9, kS1, side->smoothed);
  side->radius = rmin + (peak.found ? peak.index : 0);
  side->value = peak.found ? peak.value : 0;
}

// Best non-negative smoothed value within +-w of index `around` (later wins).
Peak BestNear(const int32_t* s, int32_t n, int32_t around, int32_t w) {
  Peak best;
  for (int32_t i = std::max(around - w, 0); i < std::min(around + w, n); ++i) {
    if (s[i] >= best.value) best = {true, i, s[i]};
  }
  return best;
}

}  // namespace

int32_t CheckIrisCircle(const State& s, Circle p, Circle i, Point det, int32_t* gaze) {
  const Limits& lim = s.limits;
  if (i.x - i.r < 70 || i.x + i.r > 1210 || i.y - i.r < 70 || i.y + i.r > 1010) return kIrisBorder;
  if (i.r > lim.irisRadiusMax || i.r < lim.irisRadiusMin) return kIrisRadius;
  const double rho = static_cast<double>(p.r) / static_cast<double>(i.r);
  if (rho > static_cast<double>(lim.ratioMax) || rho < static_cast<double>(lim.ratioMin))
    return kRadiusRatio;
  if (i.r - p.r < 32 || i.x - i.r >= p.x - p.r || i.x + i.r <= p.x + p.r ||
      i.y - i.r >= p.y - p.r || i.y + i.r <= p.y + p.r)
    return kPupilNotInside;
  const double dx = i.x - det.x, dy = i.y - det.y;
  *gaze = static_cast<int32_t>(100.0 * std::sqrt(dx * dx + dy * dy) / i.r);
  if (*gaze > s.thresholds.gazeMax) return kGaze;
  return kOk;
}

bool ScleraContrastOk(int64_t inner, int64_t outer, float limit) {
  if (inner == 0) return outer > 0;  // a black ring inside any light is contrast enough
  return !(static_cast<double>(outer) / static_cast<double>(inner) < static_cast<double>(limit));
}

int32_t IrisCircleStage(State& s, const Plane& eye, uint8_t* cropData) {
  const Plane crop = CropPlane(cropData);
  const Circle pupil = s.pupilCircle;

  // 1. Side profiles from just above the pupil centre.
  const int32_t rmin = std::max((333 * pupil.r) / 256, 85);
  const int32_t n = kProfileEnd + 1 - rmin - 9;
  Side left, right;
  SideProfile(crop, rmin, kLeftWide, kLeftNarrow, &left);
  SideProfile(crop, rmin, kRightWide, kRightNarrow, &right);

  // 2. Reconcile: the stronger side keeps its radius, the other moves to its best step
  // within +-16% of it.
  const int32_t w =
      static_cast<int32_t>(0.16 * (right.value > left.value ? right.radius : left.radius));
  const int32_t iL = left.radius - rmin, iR = right.radius - rmin;
  const Peak nearL = BestNear(right.smoothed, n, iL, w);
  const Peak nearR = BestNear(left.smoothed, n, iR, w);
  const int32_t vR2 = nearL.found ? nearL.value : 0;
  const int32_t rR2 = nearL.found ? rmin + nearL.index : right.radius;
  const int32_t vL2 = nearR.found ? nearR.value : 0;
  const int32_t rL2 = nearR.found ? rmin + nearR.index : left.radius;
  int32_t rL = left.radius, rR = right.radius;
  if (left.smoothed[iL] + vR2 > right.smoothed[iR] + vL2)
    rR = rR2;
  else
    rL = rL2;

  // 3. Circle search over 45 centres and 19 radii around the mean of the sides.
  const int32_t ri0 = (rL + rR) >> 1;
  int32_t profile[19];
  int32_t best = 0, bx = 0, by = 0, index = 9;
  bool any = false;
  for (int32_t y = 177; y <= 185; ++y)
    for (int32_t x = 178 + ri0 - rL; x <= 182 + ri0 - rL; ++x) {
      for (int32_t k = 0; k < 19; ++k) {
        const int32_t r = ri0 - 9 + k;
        profile[k] = RingSum(crop, x, y, r, kRightWide) + RingSum(crop, x, y, r, kLeftWide);
      }
      const Peak p = StepPeak(profile, 19, 7, kS1);
      if (p.found && p.value >= best) {
        best = p.value;
        bx = x, by = y, index = p.index;
        any = true;
      }
    }
  const int32_t ri = any ? ri0 - 9 + index : ri0;
  const Circle iris{pupil.x + bx - kCropCentre, pupil.y + by - kCropCentre, ri};
  s.irisCircle = iris;

  // 4. Checks.
  if (const int32_t rc = CheckIrisCircle(s, pupil, iris, s.detectionPoint, &s.gazeOffset);
      rc != kOk)
    return rc;
  int64_t inner = 0, outer = 0;
  for (int32_t r = ri - 18; r <= ri - 10; ++r)
    inner +=
        RingSum(eye, iris.x, iris.y, r, kRightWide) + RingSum(eye, iris.x, iris.y, r, kLeftWide);
  for (int32_t r = ri + 9; r <= ri + 17; ++r)
    outer +=
        RingSum(eye, iris.x, iris.y, r, kRightWide) + RingSum(eye, iris.x, iris.y, r, kLeftWide);
  if (!ScleraContrastOk(inner, outer, s.limits.scleraContrastMin)) return kScleraContrast;

  // 5-6. Grey levels of pupil, iris and sclera, then the cut around the iris centre.
  MeasureRingLevels(s, eye);
  CutCrop(eye, iris.x, iris.y, 0, cropData);
  return kOk;
}

}  // namespace ocuvant::engine::q5
