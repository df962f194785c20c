#include "engine/q5/q5_profile.h"

namespace ocuvant::engine::q5 {

Peak StepPeak(const int32_t* p, int32_t n, int32_t g, const SmoothKernel& kernel,
              int32_t* smoothed) {
  const int32_t d = n - g;
  int32_t diff[kMaxProfile];
  for (int32_t i = 0; i < d; ++i) diff[i] = p[i + g] - p[i];
  Peak peak;
  int32_t best = 0;
  for (int32_t i = 0; i < d; ++i) {
    int32_t s = 0;
    for (int32_t t = 0; t < 9; ++t) {
      const int32_t k = i - 4 + t;
      const int32_t j = k < d ? (k < 0 ? -k : k) : 2 * d - k - 2;
      s += kernel[t] * diff[j < 0 ? -j : j];
    }
    if (smoothed) smoothed[i] = s;
    if (s >= best) {
      best = s;
      peak = {true, i, s};
    }
  }
  return peak;
}

int32_t HistQuantile(const int32_t* h, int32_t bins, int32_t count, int32_t num, int32_t den) {
  const int32_t target = count * num / den;
  int32_t i = 0;
  int32_t a = h[0];
  while (a < target && i + 1 < bins) a += h[++i];
  return i;
}

}  // namespace ocuvant::engine::q5
