// Template comparison and database matching over the 13 rotations of the probe.
#include "engine/common/template_matcher.h"

#include <cmath>
#include <cstring>

#include "engine/common/shift_counts.h"

namespace ocuvant::engine {

void InitMatcher(MatcherState& state, const MatchParams& params) {
  const long double k = params.normaliser;
  for (int n = 0; n <= kMaxCommonBits; ++n)
    state.root[n] = std::sqrt(static_cast<long double>(n) * k);
  state.rootNormaliser = params.normaliser;
}

namespace {

void EnsureRoots(MatcherState& state, const MatchParams& params) {
  if (state.rootNormaliser != params.normaliser) InitMatcher(state, params);
}

// Keeps (index, shift) if its s is strictly below the best so far.
inline void Consider(MatcherState& state, const MatchParams& params, BitCounts counts,
                     int32_t index, int32_t shift) {
  float s;
  if (!ScoreFromCounts(state, params, counts, &s) || !(s < state.best.score)) return;
  state.best.index = index;
  state.best.score = s;
  state.best.distance = static_cast<float>(counts.differing) / static_cast<float>(counts.common);
  state.best.commonBits = counts.common;
  state.best.differingBits = counts.differing;
  state.best.shift = shift;
}

void ResetBest(MatcherState& state) {
  state.best = BestMatch{};
}

// Best over the shifts of the rotated probe against one stored template.
void ScanTemplate(MatcherState& state, const MatchParams& params, const uint8_t* stored,
                  int32_t index) {
  BitCounts counts[kShiftCount];
  CountShifts(stored, state.rotated, counts);
  for (int d = 0; d < kShiftCount; ++d) Consider(state, params, counts[d], index, d + kShiftMin);
}

}  // namespace

void RotateProbe(MatcherState& state, const uint8_t* probe) {
  for (int c = 0; c < kShiftCount; ++c) {
    const int d = c + kShiftMin;
    const int head = (d + static_cast<int>(kPlaneBytes)) % static_cast<int>(kPlaneBytes);
    for (size_t plane = 0; plane < kTemplateBytes; plane += kPlaneBytes) {
      // byte j of the copy = probe byte (j + d) mod 128: the plane read from `head` on.
      const uint8_t* src = probe + plane;
      uint8_t* dst = state.rotated[c] + plane;
      std::memcpy(dst, src + head, kPlaneBytes - head);
      std::memcpy(dst + (kPlaneBytes - head), src, head);
    }
  }
}

BitCounts CountBits(const uint8_t* a, const uint8_t* b) {
  BitCounts counts;
  for (size_t w = 0; w < 2 * kPlaneBytes; w += 8) {
    uint64_t ma, mb, ca, cb;
    std::memcpy(&ma, a + w, 8);
    std::memcpy(&mb, b + w, 8);
    std::memcpy(&ca, a + 2 * kPlaneBytes + w, 8);
    std::memcpy(&cb, b + 2 * kPlaneBytes + w, 8);
    const uint64_t m = ma & mb;
    counts.common += static_cast<uint32_t>(std::popcount(m));
    counts.differing += static_cast<uint32_t>(std::popcount((ca ^ cb) & m));
  }
  return counts;
}

bool ScoreFromCounts(const MatcherState& state, const MatchParams& params, BitCounts counts,
                     float* score) {
  if (counts.common < params.minCommonBits || counts.common > kMaxCommonBits) return false;
  // D/N correctly rounded to float: both are exact in float.
  const float h = static_cast<float>(counts.differing) / static_cast<float>(counts.common);
  const long double s = 0.5L - (0.5L - static_cast<long double>(h)) * state.root[counts.common];
  *score = static_cast<float>(s);
  return true;
}

bool CompareScore(MatcherState& state, const MatchParams& params, const uint8_t* a,
                  const uint8_t* b, float* score) {
  EnsureRoots(state, params);
  return ScoreFromCounts(state, params, CountBits(a, b), score);
}

float MatchThreshold(const MatchParams& params, uint32_t n) {
  const long double theta =
      static_cast<long double>(params.thetaBase) -
      static_cast<long double>(0.01) * std::log10(static_cast<long double>(n));
  return static_cast<float>(theta);
}

int32_t MatchTemplate(MatcherState& state, const MatchParams& params, const uint8_t* database,
                      const uint8_t* probe, int32_t n, float* score) {
  EnsureRoots(state, params);
  ResetBest(state);
  RotateProbe(state, probe);
  for (int32_t i = 0; i < n; ++i) ScanTemplate(state, params, database + kTemplateBytes * i, i);
  *score = state.best.score;
  if (n <= 0) return -1;
  const float theta = MatchThreshold(params, static_cast<uint32_t>(n));
  return state.best.score < theta ? state.best.index : -1;
}

float PairwiseCompare(MatcherState& state, const MatchParams& params, const uint8_t* a,
                      const uint8_t* b) {
  EnsureRoots(state, params);
  ResetBest(state);
  RotateProbe(state, b);
  ScanTemplate(state, params, a, 0);
  return state.best.score;
}

}  // namespace ocuvant::engine
