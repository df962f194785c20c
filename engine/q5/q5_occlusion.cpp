// Stage 8: which cells of the ring hold unoccluded iris (ValidCells), and the visible
// iris percentage.
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

constexpr int32_t kBlocks = kCells + 2;  // one extra block on either side for the neighbours

}  // namespace

int32_t ComputeValidCells(State& s, int32_t lo, int32_t hi) {
  int32_t cnt[kBlocks][kBands];
  uint8_t w[kBlocks][kBands];
  for (int32_t b = 0; b < kBands; ++b)
    for (int32_t q = 0; q < kBlocks; ++q) {
      int32_t n = 0;
      for (int32_t row = 8 + 13 * b; row <= 24 + 13 * b; ++row)
        for (int32_t col = 58 + 4 * q; col <= 61 + 4 * q; ++col) {
          const int32_t v = s.normalizedIris[row][col];
          n += v > lo && v < hi;
        }
      cnt[q][b] = n;
      w[q][b] = n > 48;
    }

  // Gap closing: weak blocks next to an invalid one are cleared; a cleared block counts
  // as invalid for the blocks after it.
  for (const int32_t limit : {56, 60})
    for (int32_t b = 0; b < kBands; ++b)
      for (int32_t q = 0; q < kCells; ++q)
        if ((w[q][b] == 0 || w[q + 2][b] == 0) && cnt[q + 1][b] < limit) w[q + 1][b] = 0;

  // Erosion by one block on either side, twice.
  for (int32_t pass = 0; pass < 2; ++pass) {
    uint8_t e[kCells][kBands];
    for (int32_t q = 0; q < kCells; ++q)
      for (int32_t b = 0; b < kBands; ++b) e[q][b] = w[q][b] & w[q + 1][b] & w[q + 2][b];
    for (int32_t q = 0; q < kCells; ++q)
      for (int32_t b = 0; b < kBands; ++b) w[q + 1][b] = e[q][b];
  }

  int32_t valid = 0;
  for (int32_t q = 0; q < kCells; ++q)
    for (int32_t b = 0; b < kBands; ++b) {
      s.validCells[q][b] = w[q + 1][b];
      valid += w[q + 1][b];
    }
  return valid;
}

int32_t Occlusion(State& s) {
  const RingLevels& lv = s.ringLevels;
  const int32_t lo = (lv.q25 + lv.p25) / 2 - 1, hi = (lv.s75 + lv.q75) / 2 + 1;
  s.visiblePercent = (100 * ComputeValidCells(s, lo, hi)) / (kCells * kBands);
  if (s.visiblePercent < s.thresholds.visualMin) return kVisibleIris;
  for (auto& row : s.normalizedIris)
    for (auto& v : row)
      if (v == 255) v = static_cast<uint8_t>(lv.q50);
  return kOk;
}

}  // namespace ocuvant::engine::q5
