// Band-pass focus measures: 8 x 8 box minus four times the inner 4 x 4 box per grid point.
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

int32_t BoxSum(const Plane& eye, int32_t x0, int32_t y0, int32_t size) {
  int32_t sum = 0;
  for (int32_t y = y0; y < y0 + size; ++y) {
    const uint8_t* row = &eye.At(x0, y);
    for (int32_t x = 0; x < size; ++x) sum += row[x];
  }
  return sum;
}

}  // namespace

int32_t FocusScore(const Plane& eye, int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t step,
                   int32_t w) {
  int64_t power = 0;
  int64_t n = 1;
  for (int32_t y = y0; y <= y1; y += step) {
    for (int32_t x = x0; x <= x1; x += step) {
      const int32_t e = BoxSum(eye, x - 4, y - 4, 8) - 4 * BoxSum(eye, x - 2, y - 2, 4);
      power += (e * e) >> 8;
      if (eye.At(x, y) < 255) ++n;
    }
  }
  return static_cast<int32_t>((100 * power) / (power + w * n));
}

int32_t GlobalFocus(State& s, const Plane& eye) {
  s.globalFocus = FocusScore(eye, 152, 1120, 112, 960, 8, 16);
  return s.globalFocus < s.limits.focusMin ? kGlobalFocus : kOk;
}

}  // namespace ocuvant::engine::q5
