// The choice of the template to enroll out of three: worst-pair rule (Big, Q5) and the
// closest-pair rule with worst-pair fallback (Small).
#include <algorithm>
#include <cmath>

#include "engine/common/template_matcher.h"

namespace ocuvant::engine {

namespace {

// trunc(min(100, max(0, 100 - 200 * d))) in extended precision from the float distance.
int32_t ScoreOfDistance(float d) {
  const long double v = 100.0L - 200.0L * static_cast<long double>(d);
  return static_cast<int32_t>(std::trunc(std::min(100.0L, std::max(0.0L, v))));
}

// Largest distance wins; on equal distances the earlier pair of (1,2), (1,3), (2,3) counts
// as the worst. k is the template outside the worst pair.
int32_t WorstPair(const MatchParams& params, float d12, float d13, float d23, int32_t* score) {
  float w = d12;
  int32_t k = 3;
  if (d12 < d13) {
    w = d13;
    k = 2;
  }
  if (w < d23) {
    w = d23;
    k = 1;
  }
  if (static_cast<double>(w) > params.worstPairMax) k = -1;
  *score = ScoreOfDistance(w);
  return k;
}

}  // namespace

int32_t ChooseEnrollTemplate(const MatchParams& params, float d12, float d13, float d23,
                             int32_t* score) {
  if (params.rule == EnrollRule::WorstPair) return WorstPair(params, d12, d13, d23, score);

  // Closest pair (earlier pair wins ties), then its member closer to the third template.
  float dmin = d12;
  int32_t k = d13 > d23 ? 2 : 1;
  if (d13 < d12) {
    dmin = d13;
    k = d12 > d23 ? 3 : 1;
  }
  if (d23 < dmin) {
    dmin = d23;
    k = d12 > d13 ? 3 : 2;
  }
  if (static_cast<double>(dmin) <= params.closestPairMax) {
    *score = ScoreOfDistance(dmin);
    return k;
  }
  return WorstPair(params, d12, d13, d23, score);
}

int32_t BuildEnrollTemplate(MatcherState& state, const MatchParams& params, const uint8_t* t1,
                            const uint8_t* t2, const uint8_t* t3, int32_t* score) {
  const float d12 = PairwiseCompare(state, params, t1, t2);
  const float d13 = PairwiseCompare(state, params, t1, t3);
  const float d23 = PairwiseCompare(state, params, t2, t3);
  return ChooseEnrollTemplate(params, d12, d13, d23, score);
}

}  // namespace ocuvant::engine
