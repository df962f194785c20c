// Focus measures: the power of an 8 x 8 zero-sum kernel (outer ring weight 1, centre 4 x 4
// weight -3) summed over a grid of step 4.
#include <cmath>

#include "engine/smallbig/pipeline.h"

namespace ocuvant::engine::smallbig {

namespace {

struct GridPower {
  int64_t power = 0;        // sum of floor(v^2 / 256)
  int32_t unsaturated = 0;  // grid pixels below 255
};

inline int64_t KernelPower(const uint8_t* img, int width, int x, int y) {
  int32_t s8 = 0, s4 = 0;
  const uint8_t* p = img + (y - 4) * width + (x - 4);
  for (int dy = 0; dy < 8; ++dy, p += width)
    for (int dx = 0; dx < 8; ++dx) s8 += p[dx];
  p = img + (y - 2) * width + (x - 2);
  for (int dy = 0; dy < 4; ++dy, p += width)
    for (int dx = 0; dx < 4; ++dx) s4 += p[dx];
  const int64_t v = s8 - 4 * s4;
  return v * v / 256;
}

// Rows y0 + 4i (i < rows), columns x0 + 4j (j < cols); the caller keeps the grid 4 pixels
// inside the image.
GridPower Power(const uint8_t* img, int width, int y0, int rows, int x0, int cols) {
  GridPower g;
  for (int i = 0; i < rows; ++i) {
    const int y = y0 + 4 * i;
    for (int j = 0; j < cols; ++j) {
      const int x = x0 + 4 * j;
      g.power += KernelPower(img, width, x, y);
      g.unsaturated += img[y * width + x] < 255;
    }
  }
  return g;
}

// trunc(100 p / (p + weight e)) in double precision.
int32_t FocusScore(int64_t p, int64_t weight, int64_t e) {
  const double v = 100.0 * static_cast<double>(p) / static_cast<double>(p + weight * e);
  return static_cast<int32_t>(std::trunc(v));
}

}  // namespace

int32_t GlobalFocusStage(Stage& st) {
  const KindParams& k = st.k;
  const GridPower g = Power(st.img, k.width, k.globalRows.first, k.globalRows.count,
                            k.globalCols.first, k.globalCols.count);
  st.s.globalFocus = FocusScore(g.power, 16, 1 + int64_t{g.unsaturated});
  return st.s.globalFocus < st.th.focusMin ? kGlobalFocus : kOk;
}

int32_t LocalFocus(Stage& st) {
  const KindParams& k = st.k;
  const int x = st.s.xs, y = st.s.ys;
  const GridPower main = Power(st.img, k.width, y + k.localRows.first, k.localRows.count,
                               x + k.localCols.first, k.localCols.count);
  const GridPower centre = Power(st.img, k.width, y + k.centreRows.first, k.centreRows.count,
                                 x + k.centreCols.first, k.centreCols.count);
  const int64_t e = 1 + int64_t{main.unsaturated};
  const int64_t outside = main.power - centre.power;  // the centre grid is part of the main one
  st.s.localFocus = FocusScore(k.localFocusWithoutCentre ? outside : main.power, 32, e);
  // Share of the power outside the centre grid; no power at all counts as failing.
  st.s.movement = main.power > 0
                      ? static_cast<int32_t>(std::trunc(100.0 * static_cast<double>(outside) /
                                                        static_cast<double>(main.power)))
                      : 0;
  if (st.s.localFocus < st.th.focusMin) return kLocalFocus;
  if (main.power == 0 || st.s.movement < st.th.movementMin) return kMovement;
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
