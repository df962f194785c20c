// Stage 3: the pupil circle in three coarse-to-fine levels on the clipped cut, the pupil
// contrast on the EyeImage, and the cut around the pupil centre.
#include "engine/q5/q5_profile.h"
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

// All round except the sector about straight up, and the two side arcs.
constexpr Arc kArcA{320, 192, 2};
constexpr Arc kArcB{288, 48, 2};
constexpr Arc kArcC{64, 48, 2};
// All round except m = 321 to 448, every direction.
constexpr Arc kContrastArc{320, 384, 1};

struct Level {
  int32_t step;
  int32_t lag;
  const SmoothKernel* kernel;
  bool sides;  // add arcs B and C
};

struct Fit {
  int32_t bx = 0, by = 0, index = 0;
};

constexpr int32_t kMaxCentres = 110;  // level 1: 11 x 10
constexpr int32_t kMaxRadii = 60;     // level 1: at most 80 - 20

// One level: centres x0..x1, y0..y1 (y outer), radii r0..r0+n-1. A level without any
// peak keeps the fit of the level before. The profiles of every centre are summed first,
// then searched centre by centre in scan order.
Fit SearchLevel(RingWindow& w, const Plane& crop, const Level& lv, int32_t x0, int32_t x1,
                int32_t y0, int32_t y1, int32_t r0, int32_t n, Fit fit) {
  int32_t profiles[kMaxCentres][kMaxRadii];
  const Arc arcs[] = {kArcA, kArcB, kArcC};
  GridRingSums(w, crop, {x0, x1, y0, y1, lv.step}, r0, n, arcs, lv.sides ? 3 : 1, profiles[0],
               kMaxRadii);
  int32_t best = 0, centre = 0;
  for (int32_t y = y0; y <= y1; y += lv.step)
    for (int32_t x = x0; x <= x1; x += lv.step, ++centre) {
      const Peak p = StepPeak(profiles[centre], n, lv.lag, *lv.kernel);
      if (p.found && p.value >= best) {
        best = p.value;
        fit = {x, y, p.index};
      }
    }
  return fit;
}

int64_t ContrastRings(const Plane& eye, Circle c, int32_t from, int32_t to) {
  int64_t sum = 0;
  for (int32_t r = from; r <= to; ++r) sum += RingSum(eye, c.x, c.y, r, kContrastArc);
  return sum;
}

}  // namespace

bool PupilContrastOk(int64_t inner, int64_t outer, float limit) {
  if (outer == 0) return false;  // no light around the pupil: no contrast to speak of
  return !(static_cast<double>(inner) / static_cast<double>(outer) > static_cast<double>(limit));
}

int32_t PupilCircleStage(State& s, const Plane& eye, uint8_t* cropData) {
  const Plane crop = CropPlane(cropData);

  // 1. Clip the bright side so the iris texture and lashes do not make steps.
  const int32_t l = s.irisLevel;
  int32_t clip = l > 64 ? l + l / 2 + 8 : l + (3 * l) / 4 - 8;
  if (clip < 0) clip = 0;  // an empty iris histogram must not wrap the 8-bit pixels
  if (clip < 255) {
    for (int32_t i = 0; i < kCropBytes; ++i)
      if (cropData[i] > clip) cropData[i] = static_cast<uint8_t>(clip);
  }

  // 2-3. Three levels.
  int32_t rlo, rhi;
  PupilRadiusRange(s.pupilSize, &rlo, &rhi);
  Fit fit = SearchLevel(s.ringWindow, crop, {4, 7, &kS1, true}, 160, 200, 160, 196, rlo, rhi - rlo,
                        Fit{});
  int32_t rStar = rlo + fit.index;
  int32_t r0 = rStar - 14;
  fit = SearchLevel(s.ringWindow, crop, {2, 3, &kS2, true}, fit.bx - 10, fit.bx + 8, fit.by - 10,
                    fit.by + 8, r0, 28, fit);
  rStar = r0 + fit.index;
  r0 = rStar - 6;
  fit = SearchLevel(s.ringWindow, crop, {1, 1, &kS3, false}, fit.bx - 5, fit.bx + 4, fit.by - 5,
                    fit.by + 4, r0, 12, fit);
  rStar = r0 + fit.index;

  // 4. Pupil circle in EyeImage pixels.
  const Point c = s.pupilEstimate;
  const Circle pupil{c.x + fit.bx - kCropCentre, c.y + fit.by - kCropCentre, rStar};
  s.pupilCircle = pupil;
  if (!InZone({pupil.x, pupil.y}) || pupil.r > 84 || pupil.r < 18) return kPupilCircle;

  // 5. The pupil must be clearly darker than the ring just outside it.
  const int64_t inner = ContrastRings(eye, pupil, pupil.r - 14, pupil.r - 8);
  const int64_t outer = ContrastRings(eye, pupil, pupil.r + 7, pupil.r + 13);
  if (!PupilContrastOk(inner, outer, s.limits.pupilContrastMax)) return kPupilContrast;

  // 6. Cut around the pupil centre.
  CutCrop(eye, pupil.x, pupil.y, 0, cropData);
  return kOk;
}

}  // namespace ocuvant::engine::q5
