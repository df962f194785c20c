// Stage 5: upper and lower eyelid parabolas on the flattened cut around the iris centre,
// the eye opening check, and the masking of everything beyond the lids with 255.
#include <algorithm>
#include <cstdlib>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

inline int32_t Parabola(int32_t c, int32_t k, int32_t dx) {
  return (4096 * c + k * dx * dx) >> 12;
}

// Flatten the cut so that only the lid edges make strong vertical steps: the pupil and
// dark pixels go to Tlow, the bright ones to Thigh.
void Flatten(const State& s, uint8_t* cropData) {
  const Plane crop = CropPlane(cropData);
  const RingLevels& lv = s.ringLevels;
  const int32_t tLow = (lv.p25 + 3 * lv.q50) / 4, tHigh = (lv.q75 + lv.s75) / 2;
  const Circle p = s.pupilCircle, i = s.irisCircle;
  const int32_t h5 = (5 * p.r) / 4;
  const int32_t ax = kCropCentre + p.x - i.x, ay = kCropCentre + p.y - i.y;
  for (int32_t y = ay - h5; y < ay + h5; ++y)
    for (int32_t x = ax - h5; x < ax + h5; ++x)
      if (crop.Inside(x, y) && crop.At(x, y) < tLow) crop.At(x, y) = static_cast<uint8_t>(tLow);
  for (int32_t n = 0; n < kCropBytes; ++n)
    if (cropData[n] <= s.darkThreshold) cropData[n] = static_cast<uint8_t>(tLow);
  for (int32_t n = 0; n < kCropBytes; ++n)
    if (cropData[n] > tHigh) cropData[n] = static_cast<uint8_t>(tHigh);
}

// Edge energy along one parabola: |C(x, y) - C(x, y + dy)| summed over the sample columns
// whose row pair lies inside the cut.
int32_t EdgeEnergy(const Plane& crop, int32_t ri, int32_t base, int32_t dy, EyelidCurve curve) {
  int32_t e = 0;
  for (int32_t x = kCropCentre - ri; x - kCropCentre <= ri; x += 8) {
    const int32_t y = base + Parabola(curve.c, curve.k, x - kCropCentre - curve.h);
    const int32_t y2 = y + dy;
    if (x < 0 || x >= kCropSide || y < 0 || y2 < 0 || y >= kCropSide || y2 >= kCropSide) continue;
    e += std::abs(crop.At(x, y) - crop.At(x, y2));
  }
  return e;
}

}  // namespace

bool EyeOpeningOk(int32_t cU, int32_t cL, int32_t ri, int32_t minPercent) {
  return !(100 * (cL - cU) < ri * minPercent);
}

int32_t EyelidStage(State& s, const Plane& eye, uint8_t* cropData) {
  const Plane crop = CropPlane(cropData);
  const Circle iris = s.irisCircle;
  const int32_t ri = iris.r;
  Flatten(s, cropData);

  // 3. Upper lid: dark-to-bright going up (compare with 8 rows below).
  int32_t best = 0;
  EyelidCurve upper;
  for (int32_t k = 1; k <= 13; k += 2)
    for (int32_t h = -88; h <= 88; h += 8)
      for (int32_t c = -ri - 16; c < 0; c += 4) {
        const int32_t e = EdgeEnergy(crop, ri, 172, 8, {c, k, h});
        if (e >= best) best = e, upper = {c, k, h};
      }

  // 4. Lower lid (compare with 8 rows above).
  best = 0;
  EyelidCurve lower;
  for (int32_t k = -13; k <= -1; k += 2)
    for (int32_t h = -88; h <= 88; h += 8)
      for (int32_t c = 0; c < ri + 16; c += 4) {
        const int32_t e = EdgeEnergy(crop, ri, 188, -8, {c, k, h});
        if (e >= best) best = e, lower = {c, k, h};
      }
  lower.c += 8;
  s.upperLid = upper;
  s.lowerLid = lower;

  // 5. Eye opening.
  if (!EyeOpeningOk(upper.c, lower.c, ri, s.limits.eyeOpeningMin)) return kEyeOpening;

  // 6-7. Fresh cut (255 outside the image) with both lid curves drawn in.
  CutCrop(eye, iris.x, iris.y, 255, cropData);
  for (int32_t x = -ri; x < ri; ++x) {
    const int32_t yU = Parabola(upper.c, upper.k, x - upper.h);
    const int32_t yL = Parabola(lower.c, lower.k, x - lower.h);
    if (crop.Inside(kCropCentre + x, kCropCentre + yU))
      crop.At(kCropCentre + x, kCropCentre + yU) = 255;
    if (crop.Inside(kCropCentre + x, kCropCentre + yL))
      crop.At(kCropCentre + x, kCropCentre + yL) = 255;
  }

  // 8. Mask the EyeImage above the upper and below the lower lid.
  MaskBeyondLids(eye, iris, upper, lower);
  return kOk;
}

void MaskBeyondLids(const Plane& eye, Circle iris, EyelidCurve upper, EyelidCurve lower) {
  const int32_t ri = iris.r;
  // Rows of the image relative to the iris centre: every range is clamped to them.
  const int32_t top = -iris.y, bottom = eye.height - 1 - iris.y;
  for (int32_t x = -ri; x < ri; ++x) {
    const int32_t ix = iris.x + x;
    if (ix < 0 || ix >= eye.width) continue;
    const int32_t yU = Parabola(upper.c, upper.k, x - upper.h);
    const int32_t yL = Parabola(lower.c, lower.k, x - lower.h);
    // A lid beyond the square still masks the rows it spans: -ri..yU and yL..ri.
    for (int32_t y = std::max(-ri, top); y <= std::min(yU, bottom); ++y)
      eye.At(ix, iris.y + y) = 255;
    for (int32_t y = std::max(yL, top); y <= std::min(ri, bottom); ++y)
      eye.At(ix, iris.y + y) = 255;
  }
}

void BoundaryMarks(State& s, uint8_t* cropData) {
  const Plane crop = CropPlane(cropData);
  const Circle p = s.pupilCircle, i = s.irisCircle;
  for (int32_t l = 0; l < kAngularSamples; ++l) {
    s.pupilPoints[l] = RingPoint(p.x, p.y, p.r + 1, 128 - l);
    s.irisPoints[l] = RingPoint(i.x, i.y, i.r, 128 - l);
  }
  auto mark = [&](int32_t x, int32_t y) {
    if (crop.Inside(x, y)) crop.At(x, y) = 255;
  };
  auto markPoint = [&](Point q) { mark(q.x - i.x + kCropCentre, q.y - i.y + kCropCentre); };
  for (const Point& q : s.pupilPoints) markPoint(q);
  const int32_t ax = kCropCentre + p.x - i.x, ay = kCropCentre + p.y - i.y;
  for (int32_t d = -4; d <= 4; ++d) mark(ax + d, ay);
  for (int32_t d = -4; d <= 4; ++d) mark(ax, ay + d);
  for (const Point& q : s.irisPoints) markPoint(q);
  mark(kCropCentre, kCropCentre);
}

}  // namespace ocuvant::engine::q5
