// Stage 2: detection point, local focus, dark threshold, reflection filling, pupil size
// estimate, refinements and the first cut of the IrisCrop.
#include <cmath>
#include <cstdlib>

#include "engine/q5/q5_profile.h"
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

// Grey levels around the pupil estimate (B, L, Q).
struct GreyLevels {
  int32_t bright = 0;
  int32_t iris = 0;
  int32_t spot = 0;
};

// Median of the pixels with t < v < upper in the 113 x 90 sample window around c.
int32_t WindowMedian(const Plane& eye, Point c, int32_t t, int32_t upper) {
  GreyHistogram h;
  for (int32_t j = 0; j < 90; ++j)
    for (int32_t i = 0; i < 113; ++i) {
      const uint8_t v = eye.At(c.x - 113 + 2 * i, c.y - 80 + 2 * j);
      if (v > t && v < upper) h.Add(v);
    }
  return h.Quantile(1, 2);
}

GreyLevels MeasureGreyLevels(const Plane& eye, Point c, int32_t t) {
  GreyHistogram h1;
  for (int32_t j = 0; j < 90; ++j)
    for (int32_t i = 0; i < 90; ++i) {
      const uint8_t v = eye.At(c.x - 180 + 4 * i, c.y - 180 + 4 * j);
      if (v > t) h1.Add(v);
    }
  GreyLevels g;
  g.bright = h1.Quantile(15, 16);
  g.iris = WindowMedian(eye, c, t, g.bright);
  g.spot = WindowMedian(eye, c, t, (g.bright + g.iris) / 2);
  return g;
}

// Darkest R1-sized window of samples 4 apart around c (third refinement).
Point RefineBySize(const Plane& eye, Point c, int32_t r1) {
  int32_t best = 64 * r1 * r1;
  Point found = c;
  for (int32_t yy = c.y - 32; yy <= c.y + 32; yy += 4)
    for (int32_t xx = c.x - 64; xx <= c.x + 64; xx += 4) {
      int32_t sum = 0;
      for (int32_t dy = -r1; dy < r1; dy += 4)
        for (int32_t dx = -r1; dx < r1; dx += 4) sum += eye.At(xx + dx, yy + dy);
      if (sum <= best) {
        best = sum;
        found = {xx, yy};
      }
    }
  return found;
}

// Pixels at most t in the square c +- r (ends included) and on its border (8r pixels).
void DarkSquare(const Plane& eye, Point c, int32_t r, int32_t t, int32_t* area, int32_t* border) {
  int32_t a = 0, p = 0;
  for (int32_t y = c.y - r; y <= c.y + r; ++y)
    for (int32_t x = c.x - r; x <= c.x + r; ++x) a += eye.At(x, y) <= t;
  for (int32_t i = -r; i < r; ++i) {
    p += eye.At(c.x + i, c.y - r) <= t;
    p += eye.At(c.x + i, c.y + r) <= t;
    p += eye.At(c.x - r, c.y + i) <= t;
    p += eye.At(c.x + r, c.y + i) <= t;
  }
  *area = a;
  *border = p;
}

}  // namespace

bool InZone(Point p) {
  return p.x >= kZoneXMin && p.x <= kZoneXMax && p.y >= kZoneYMin && p.y <= kZoneYMax;
}

// F(x, y) = 96 I(x, y) + outer - 2 inner over the detection grid. The strided side sums
// are kept as running sums (each step adds the sample entering and drops the one leaving)
// instead of being summed anew at every position; the totals are the same integers.
bool Detect(const Plane& eye, Point* best, int32_t* response) {
  constexpr int32_t kX0 = 212, kY0 = 212, kNx = 214, kNy = 164;
  constexpr int32_t kOuterCols = 310;  // columns 20, 24, ..., 1256 (x - 192 and x + 192)
  constexpr int32_t kInnerCols = 226;  // columns 188, 192, ..., 1088 (x - 24 and x + 24)
  int32_t outerCol[4][kOuterCols];     // per row phase: sum over k of I(c, y - 192 + 16k)
  int32_t innerCol[kInnerCols];        // sum over k of I(c, y - 24 + 2k)
  int32_t top[kNx], bottom[kNx], innerTop[kNx], innerBottom[kNx];
  auto px = [&](int32_t x, int32_t y) -> int32_t { return eye.At(x, y); };

  bool found = false;
  int32_t bestF = 0;
  for (int32_t yi = 0; yi < kNy; ++yi) {
    const int32_t y = kY0 + 4 * yi;
    // Column sums of the left and right sides.
    int32_t* oc = outerCol[yi & 3];
    for (int32_t j = 0; j < kOuterCols; ++j) {
      const int32_t c = 20 + 4 * j, s = y - 192;
      if (yi < 4) {
        oc[j] = 0;
        for (int32_t k = 0; k < 24; ++k) oc[j] += px(c, s + 16 * k);
      } else {
        oc[j] += px(c, s + 368) - px(c, s - 16);
      }
    }
    for (int32_t j = 0; j < kInnerCols; ++j) {
      const int32_t c = 188 + 4 * j, s = y - 24;
      if (yi == 0) {
        innerCol[j] = 0;
        for (int32_t k = 0; k < 24; ++k) innerCol[j] += px(c, s + 2 * k);
      } else {
        innerCol[j] += px(c, s + 44) + px(c, s + 46) - px(c, s - 4) - px(c, s - 2);
      }
    }
    // Row sums of the top and bottom sides.
    for (int32_t xi = 0; xi < kNx; ++xi) {
      const int32_t so = kX0 + 4 * xi - 192, si = kX0 + 4 * xi - 24;
      if (xi < 4) {
        top[xi] = bottom[xi] = 0;
        for (int32_t k = 0; k < 24; ++k) {
          top[xi] += px(so + 16 * k, y - 192);
          bottom[xi] += px(so + 16 * k, y + 192);
        }
      } else {
        top[xi] = top[xi - 4] + px(so + 368, y - 192) - px(so - 16, y - 192);
        bottom[xi] = bottom[xi - 4] + px(so + 368, y + 192) - px(so - 16, y + 192);
      }
      if (xi == 0) {
        innerTop[xi] = innerBottom[xi] = 0;
        for (int32_t k = 0; k < 24; ++k) {
          innerTop[xi] += px(si + 2 * k, y - 24);
          innerBottom[xi] += px(si + 2 * k, y + 24);
        }
      } else {
        innerTop[xi] = innerTop[xi - 1] + px(si + 44, y - 24) + px(si + 46, y - 24) -
                       px(si - 4, y - 24) - px(si - 2, y - 24);
        innerBottom[xi] = innerBottom[xi - 1] + px(si + 44, y + 24) + px(si + 46, y + 24) -
                          px(si - 4, y + 24) - px(si - 2, y + 24);
      }
    }
    for (int32_t xi = 0; xi < kNx; ++xi) {
      const int32_t x = kX0 + 4 * xi;
      const int32_t outer = top[xi] + 3 * bottom[xi] + oc[xi] + oc[96 + xi];
      const int32_t inner = innerTop[xi] + 3 * innerBottom[xi] + innerCol[xi] + innerCol[12 + xi];
      const int32_t f = 96 * px(x, y) + outer - 2 * inner;
      if (f >= bestF) {
        bestF = f;
        *best = {x, y};
        found = true;
      }
    }
  }
  *response = bestF;
  return found;
}

DarkWindow DarkestWindow(const Plane& eye, Point around) {
  int32_t best = 25600;
  DarkWindow w{around, 0, 0};
  for (int32_t yy = around.y - 32; yy <= around.y + 32; yy += 4)
    for (int32_t xx = around.x - 64; xx <= around.x + 64; xx += 4) {
      int32_t sum = 0;
      for (int32_t dy = -20; dy <= 16; dy += 4)
        for (int32_t dx = -20; dx <= 16; dx += 4) sum += eye.At(xx + dx, yy + dy);
      if (sum <= best) {
        best = sum;
        w.centre = {xx, yy};
      }
    }
  w.mean = best / 100;
  w.threshold = w.mean + (w.mean >> 3) + 4;
  return w;
}

int32_t SizeEstimate(const Plane& eye, Point c, int32_t t, int32_t* r1) {
  int32_t r0 = 90;
  for (int32_t r = 42; r <= 88; r += 2) {
    int32_t count = 0;
    for (int32_t k = 0; k < r; ++k) {
      count += eye.At(c.x - r + 2 * k, c.y - r) <= t || eye.At(c.x - r + 2 * k, c.y + r) <= t ||
               eye.At(c.x - r, c.y - r + 2 * k) <= t || eye.At(c.x + r, c.y - r + 2 * k) <= t;
    }
    if (count < r / 2) {
      r0 = r;
      break;
    }
  }
  int32_t area = 0;
  for (int32_t y = c.y - r0; y <= c.y + r0; ++y)
    for (int32_t x = c.x - r0; x <= c.x + r0; ++x) area += eye.At(x, y) <= t;
  const auto r = static_cast<int32_t>(std::sqrt(static_cast<double>(area / 4)) + 0.5);
  if (r < 11 || r > 85) return kPupilSize;
  *r1 = r < 16 ? 16 : r;
  return kOk;
}

int32_t PupilSearch(State& s, const Plane& eye, uint8_t* crop) {
  // 1-2. Detection point and local focus there.
  Point det;
  int32_t response = 0;
  const bool found = Detect(eye, &det, &response);
  s.detectionResponse = response;
  if (!found || response < 8192) return kDetectionOrLocalFocus;
  s.detectionPoint = det;
  s.localFocus = FocusScore(eye, det.x - 160, det.x + 156, det.y - 160, det.y + 156, 4, 32);
  if (s.localFocus < s.limits.focusMin) return kDetectionOrLocalFocus;

  // 3. Darkest window: dark mean and threshold.
  DarkWindow w = DarkestWindow(eye, det);
  s.darkMean = w.mean;
  s.darkThreshold = w.threshold;
  s.pupilEstimate = w.centre;
  if (w.threshold > 192 || !InZone(w.centre)) return kDarkThreshold;

  // 4-5. Grey levels, then fill the reflections with the dark level.
  const GreyLevels g = MeasureGreyLevels(eye, w.centre, w.threshold);
  s.brightLevel = g.bright;
  s.irisLevel = g.iris;
  s.spotLevel = g.spot;
  FillReflections(eye, w.centre.x, w.centre.y, w.mean, w.threshold, g.iris, g.spot);

  // 6. Darkest window again on the filled image; the dark mean of step 3 stays.
  w = DarkestWindow(eye, det);
  s.darkThreshold = w.threshold;
  s.pupilEstimate = w.centre;
  const int32_t t = w.threshold;
  if (t > 192 || !InZone(w.centre)) return kDarkThresholdFilled;

  // 7-8. Size estimate and the darkest window of that size.
  int32_t r1 = 0;
  if (const int32_t rc = SizeEstimate(eye, w.centre, t, &r1); rc != kOk) return rc;
  s.pupilSize = r1;
  Point c = RefineBySize(eye, w.centre, r1);
  s.pupilEstimate = c;
  if (!InZone(c)) return kSizeRefinement;

  // 9. Fall back halfway toward the detection point when the estimate wandered off into a
  // sparse dark area while the detection point sits in a solid one.
  int32_t a2, p1, a3, p3;
  DarkSquare(eye, c, r1, t, &a2, &p1);
  DarkSquare(eye, det, 16, t, &a3, &p3);
  if ((std::abs(c.x - det.x) > 24 || std::abs(c.y - det.y) > 24) && a2 < (5 * r1 * r1) / 2 &&
      p1 < 5 * r1 && a3 > 640 && p3 > 80) {
    c = {(det.x + c.x) / 2, (det.y + c.y) / 2};
  }
  s.pupilEstimate = c;

  // 10-11. Iris level around the final estimate, then the first cut.
  s.irisLevel = WindowMedian(eye, c, t, s.brightLevel);
  CutCrop(eye, c.x, c.y, 0, crop);
  return kOk;
}

void PupilRadiusRange(int32_t r1, int32_t* lo, int32_t* hi) {
  *lo = r1 >= 17 ? 24 : 20;
  *hi = r1 <= 50 ? 72 : 80;
}

void CutCrop(const Plane& eye, int32_t cx, int32_t cy, uint8_t outside, uint8_t* crop) {
  for (int32_t j = 0; j < kCropSide; ++j) {
    const int32_t y = cy - kCropCentre + j;
    uint8_t* row = crop + j * kCropSide;
    for (int32_t i = 0; i < kCropSide; ++i) {
      const int32_t x = cx - kCropCentre + i;
      row[i] = eye.Inside(x, y) ? eye.At(x, y) : outside;
    }
  }
}

}  // namespace ocuvant::engine::q5
