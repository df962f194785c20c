// Radial step detection and histogram quantiles shared by the Q5 stages.
#pragma once

#include <cstdint>

#include "engine/q5/q5_tables.h"

namespace ocuvant::engine::q5 {

// Longest profile any stage passes to StepPeak.
inline constexpr int kMaxProfile = 96;

struct Peak {
  bool found = false;
  int32_t index = 0;
  int32_t value = 0;
};

// Strongest dark-to-bright step of p[0..n-1] with lag g: the smoothed differences
// s[0..n-g-1] (mirrored at both ends) go to `smoothed` when given; the peak is the
// largest s[i] >= 0, ties to the larger i. n - g must be at least 5.
Peak StepPeak(const int32_t* p, int32_t n, int32_t g, const SmoothKernel& kernel,
              int32_t* smoothed = nullptr);

// First bin whose cumulative count reaches count * num / den (0 for an empty histogram).
int32_t HistQuantile(const int32_t* h, int32_t bins, int32_t count, int32_t num, int32_t den);

// A grey-level histogram with its count.
struct GreyHistogram {
  int32_t bins[256] = {};
  int32_t count = 0;
  void Add(uint8_t v) {
    ++bins[v];
    ++count;
  }
  int32_t Quantile(int32_t num, int32_t den) const {
    return HistQuantile(bins, 256, count, num, den);
  }
};

}  // namespace ocuvant::engine::q5
