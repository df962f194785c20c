// Grey levels of pupil, iris and sclera from histograms of a pupil square, full iris circles
// (a band around the iris centre, clear of the lids) and full sclera circles.
#include "engine/smallbig/image_ops.h"
#include "engine/smallbig/pipeline.h"

namespace ocuvant::engine::smallbig {

namespace {

// Adds the image pixels on full circles of radii r0..r1 (inclusive) around (cx, cy) whose
// rows lie strictly between rowLo and rowHi.
void AddCircles(const Stage& st, Histogram& h, int cx, int cy, int r0, int r1, int rowLo,
                int rowHi) {
  const int w = st.k.width, hgt = st.k.height;
  for (int r = r0; r <= r1; ++r) {
    for (int m = 0; m < kDirections; ++m) {
      const int x = cx + Along(r, DirX[m]), y = cy + Along(r, DirY[m]);
      if (y > rowLo && y < rowHi && x >= 0 && x < w && y >= 0 && y < hgt) h.Add(st.img[y * w + x]);
    }
  }
}

}  // namespace

void GreyLevels(Stage& st) {
  EngineState& s = st.s;
  const int w = st.k.width, hgt = st.k.height;
  const int X = s.irisX, Y = s.irisY, R = s.irisR;

  Histogram iris, sclera, pupil;
  iris.Clear();
  sclera.Clear();
  pupil.Clear();
  AddCircles(st, iris, s.px, s.py, s.rp + 3, R - 8, Y - 64 * R / 256, Y + 128 * R / 256);
  AddCircles(st, sclera, X, Y, R + 9, R + 63, -1, hgt);
  const int g = 3 * s.rp / 4;
  for (int y = s.py - g; y < s.py + g; ++y)
    for (int x = s.px - g; x < s.px + g; ++x)
      if (x >= 0 && x < w && y >= 0 && y < hgt) pupil.Add(st.img[y * w + x]);

  int32_t level = s.irisLevel;
  int32_t pl = Quantile(pupil, 1, 4, -1, level + 1);    // p <= L
  int32_t sl = Quantile(sclera, 3, 4, level - 1, 256);  // p >= L
  level = Quantile(iris, 1, 2, pl, sl);
  pl = (level + 3 * pl) >> 2;
  sl = (level + 3 * sl) >> 2;
  s.irisLevel = level;
  s.pupilLevel = pl;
  s.scleraLevel = sl;
  s.iq25 = Quantile(iris, 1, 4, pl, sl);
  s.irisMedian = Quantile(iris, 1, 2, pl, sl);
  s.iq75 = Quantile(iris, 3, 4, pl, sl);
  s.pupilLevel2 = Quantile(pupil, 1, 4, -1, s.iq25 + 1);
  s.scleraLevel2 = Quantile(sclera, 3, 4, s.iq75 - 1, 256);
}

}  // namespace ocuvant::engine::smallbig
