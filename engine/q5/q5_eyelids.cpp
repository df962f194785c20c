// Stage 5: upper and lower eyelid parabolas on the flattened cut around the iris centre,
// the eye opening check, and the masking of everything beyond the lids with 255.
#include <algorithm>
#include <cstdlib>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

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
  // 4. Lower lid (compare with 8 rows above).
  EyelidCurve upper = SearchLid(s.lidScratch, crop, ri, {172, 8, 1, 13, -ri - 16, 0}).curve;
  EyelidCurve lower = SearchLid(s.lidScratch, crop, ri, {188, -8, -13, -1, 0, ri + 16}).curve;
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
