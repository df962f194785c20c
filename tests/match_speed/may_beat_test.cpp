// The quick test that skips exact scores: over every (N, D) a score can have, it never
// skips a pair whose exact score is below the best, and it does skip clear losers.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/common/template_matcher.h"

namespace ocuvant::engine {
namespace {

TEST(MayBeat, NeverSkipsAPairThatWouldWin) {
  auto state = std::make_unique<MatcherState>();
  for (const MatchParams* params : {&kSmallMatchParams, &kBigMatchParams, &kQ5MatchParams}) {
    InitMatcher(*state, *params);
    int64_t skippedLosers = 0;
    for (uint32_t n = params->minCommonBits; n <= kMaxCommonBits; ++n) {
      for (uint32_t d = 0; d <= n; ++d) {
        float s;
        ASSERT_TRUE(ScoreFromCounts(*state, *params, {n, d}, &s));
        // The tightest best this pair still beats: the next float above its score.
        const float best = std::nextafter(s, 2.0f);
        const double limit = 0.5 - (static_cast<double>(best) + kMayBeatMargin);
        ASSERT_TRUE(MayBeatLimit(*state, {n, d}, limit)) << "N " << n << " D " << d;
        // A best clearly below the score: the pair is skipped.
        const float lower = s - 1e-5f;
        const double lowerLimit = 0.5 - (static_cast<double>(lower) + kMayBeatMargin);
        if (!MayBeatLimit(*state, {n, d}, lowerLimit)) ++skippedLosers;
      }
    }
    const int64_t pairs = (int64_t{kMaxCommonBits} + params->minCommonBits + 2) *
                          (kMaxCommonBits - params->minCommonBits + 1) / 2;
    EXPECT_EQ(skippedLosers, pairs);
  }
}

TEST(MayBeat, TheInitialBestOfOneLetsEveryScoreThrough) {
  auto state = std::make_unique<MatcherState>();
  InitMatcher(*state, kBigMatchParams);
  const double limit = 0.5 - (1.0 + kMayBeatMargin);
  for (uint32_t n : {512u, 918u, 2048u})
    for (uint32_t d : {0u, n / 4, n / 2}) EXPECT_TRUE(MayBeatLimit(*state, {n, d}, limit));
}

}  // namespace
}  // namespace ocuvant::engine
