// RingLevels: grey-level quartiles of the pupil, the iris band and the sclera, which set
// the eyelid levels and the iris/non-iris limits of the occlusion mask.
#include "engine/q5/q5_profile.h"
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

// Calls f(v) for every pixel of the full ring around c, r = from to to (all 512
// directions, pixels reached twice count twice, points outside the image skipped).
template <typename F>
void ForRing(const Plane& eye, Point c, int32_t from, int32_t to, F&& f) {
  for (int32_t r = from; r <= to; ++r)
    for (int32_t m = 0; m < kDirections; ++m) {
      const Point q = RingPoint(c.x, c.y, r, m);
      if (eye.Inside(q.x, q.y)) f(q.y, eye.At(q.x, q.y));
    }
}

// Calls f(v) for the pupil square px - h .. px + h - 1 (inside the image by the zone check).
template <typename F>
void ForPupilSquare(const Plane& eye, Circle p, F&& f) {
  const int32_t h = (3 * p.r) / 4;
  for (int32_t y = p.y - h; y < p.y + h; ++y)
    for (int32_t x = p.x - h; x < p.x + h; ++x) f(eye.At(x, y));
}

}  // namespace

void MeasureRingLevels(State& s, const Plane& eye) {
  const Circle p = s.pupilCircle, i = s.irisCircle;
  const int32_t l = s.irisLevel;
  const Point ic{i.x, i.y}, pc{p.x, p.y};

  // 1. Dark quartile of the pupil and bright quartile outside the iris.
  GreyHistogram pupilDark, outside;
  ForPupilSquare(eye, p, [&](uint8_t v) {
    if (v < l) pupilDark.Add(v);
  });
  const int32_t p25a = pupilDark.Quantile(1, 4);
  ForRing(eye, ic, i.r + 9, i.r + 63, [&](int32_t, uint8_t v) {
    if (v > l) outside.Add(v);
  });
  const int32_t bs = outside.Quantile(3, 4);

  // 2-3. The iris band between the circles, below the upper lid region: median, then
  // quartiles of the pixels near it.
  const int32_t yTop = i.y - (80 * i.r) / 256, yBottom = i.y + (160 * i.r) / 256;
  GreyHistogram band;
  auto forBand = [&](auto&& f) {
    ForRing(eye, pc, p.r + 3, i.r - 8, [&](int32_t y, uint8_t v) {
      if (y > yTop && y < yBottom) f(v);
    });
  };
  forBand([&](uint8_t v) {
    if (v > p25a && v < bs) band.Add(v);
  });
  const int32_t m = band.Quantile(1, 2);
  const int32_t lo = (3 * p25a + m) >> 2, hi = (3 * bs + m) >> 2;
  GreyHistogram iris;
  forBand([&](uint8_t v) {
    if (v > lo && v < hi) iris.Add(v);
  });
  RingLevels& out = s.ringLevels;
  out.q25 = iris.Quantile(1, 4);
  out.q50 = iris.Quantile(1, 2);
  out.q75 = iris.Quantile(3, 4);

  // 4-5. Pupil and sclera levels relative to the iris quartiles.
  GreyHistogram pupil, sclera;
  ForPupilSquare(eye, p, [&](uint8_t v) {
    if (v <= out.q25) pupil.Add(v);
  });
  out.p25 = pupil.Quantile(1, 4);
  ForRing(eye, ic, i.r + 9, i.r + 63, [&](int32_t, uint8_t v) {
    if (v >= out.q75) sclera.Add(v);
  });
  out.s75 = sclera.Quantile(3, 4);
}

}  // namespace ocuvant::engine::q5
