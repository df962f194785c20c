// Choice of the template to enroll: worst-pair and closest-pair rules, ties and the
// precision of the thresholds and scores.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/common/template_matcher.h"
#include "tests/engine_common/template_fixtures.h"

namespace ocuvant::engine {
namespace {

struct Choice {
  int32_t k;
  int32_t score;
};
Choice Choose(const MatchParams& p, float d12, float d13, float d23) {
  Choice c{};
  c.k = ChooseEnrollTemplate(p, d12, d13, d23, &c.score);
  return c;
}

TEST(EnrollChoice, WorstPairRule) {
  Choice c = Choose(kBigMatchParams, 0.125f, 0.0625f, 0.25f);  // worst (2,3) > 0.167
  EXPECT_EQ(c.k, -1);
  EXPECT_EQ(c.score, 50);
  c = Choose(kBigMatchParams, 0.125f, 0.0625f, 0.125f);  // (1,2) and (2,3) tie: (1,2) counts
  EXPECT_EQ(c.k, 3);
  EXPECT_EQ(c.score, 75);
  c = Choose(kBigMatchParams, 0.05f, 0.1f, 0.1f);  // (1,3) and (2,3) tie: (1,3) counts
  EXPECT_EQ(c.k, 2);
  c = Choose(kQ5MatchParams, 0.01f, 0.02f, 0.15f);
  EXPECT_EQ(c.k, 1);
  EXPECT_EQ(c.score, 69);  // 0.15f lies above 0.15
}

TEST(EnrollChoice, ScoreComesFromTheFloatDistance) {
  // 0.1f is slightly above 0.1: 100 - 200 * 0.1f is just below 80.
  EXPECT_EQ(Choose(kBigMatchParams, 0.1f, 0.05f, 0.05f).score, 79);
  EXPECT_EQ(Choose(kBigMatchParams, 0.125f, 0.05f, 0.05f).score, 75);
  EXPECT_EQ(Choose(kBigMatchParams, -0.2f, -0.3f, -0.3f).score, 100);  // clamped
  EXPECT_EQ(Choose(kSmallMatchParams, 0.6f, 0.7f, 0.9f).score, 0);
}

TEST(EnrollChoice, SelectionThresholdPrecisionPerKind) {
  // Big holds 0.167 as a float: a worst pair of exactly 0.167f passes, the next float fails.
  EXPECT_EQ(Choose(kBigMatchParams, 0.167f, 0.1f, 0.1f).k, 3);
  EXPECT_EQ(Choose(kBigMatchParams, std::nextafter(0.167f, 1.0f), 0.1f, 0.1f).k, -1);
  // Q5 holds 0.2 as a double: 0.2f lies above it and fails; the float below passes.
  EXPECT_EQ(Choose(kQ5MatchParams, 0.2f, 0.1f, 0.1f).k, -1);
  EXPECT_EQ(Choose(kQ5MatchParams, std::nextafter(0.2f, 0.0f), 0.1f, 0.1f).k, 3);
}

TEST(EnrollChoice, SmallClosestPairRule) {
  Choice c = Choose(kSmallMatchParams, 0.0625f, 0.25f, 0.125f);  // pair (1,2), d13 > d23
  EXPECT_EQ(c.k, 2);
  EXPECT_EQ(c.score, 87);
  c = Choose(kSmallMatchParams, 0.125f, 0.25f, 0.1875f);  // dmin > 0.08: worst pair (1,3)
  EXPECT_EQ(c.k, -1);
  EXPECT_EQ(c.score, 50);
  c = Choose(kSmallMatchParams, 0.125f, 0.140625f, 0.1f);  // fallback accepts: worst (1,3)
  EXPECT_EQ(c.k, 2);
  EXPECT_EQ(c.score, 71);
  // Pair (1,3) closest: k = 3 when d12 > d23, else 1.
  EXPECT_EQ(Choose(kSmallMatchParams, 0.3f, 0.05f, 0.2f).k, 3);
  EXPECT_EQ(Choose(kSmallMatchParams, 0.2f, 0.05f, 0.3f).k, 1);
  // Pair (2,3) closest: k = 3 when d12 > d13, else 2.
  EXPECT_EQ(Choose(kSmallMatchParams, 0.3f, 0.2f, 0.05f).k, 3);
  EXPECT_EQ(Choose(kSmallMatchParams, 0.2f, 0.3f, 0.05f).k, 2);
  // Equal distances: the earlier pair wins, and its first member on a tie with the third.
  EXPECT_EQ(Choose(kSmallMatchParams, 0.05f, 0.05f, 0.07f).k, 1);  // (1,2), d13 < d23 -> 1
  EXPECT_EQ(Choose(kSmallMatchParams, 0.07f, 0.05f, 0.05f).k, 3);  // (1,3) kept over (2,3)
  // The closest-pair limit 0.08: 0.08f itself is below the double 0.08 and passes.
  EXPECT_EQ(Choose(kSmallMatchParams, 0.08f, 0.3f, 0.2f).k, 2);
  EXPECT_EQ(Choose(kSmallMatchParams, 0.08f, 0.3f, 0.2f).score, 84);
  EXPECT_EQ(Choose(kSmallMatchParams, std::nextafter(0.08f, 1.0f), 0.3f, 0.2f).k, -1);
}

TEST(EnrollChoice, ThreeIdenticalTemplates) {
  auto state = std::make_unique<MatcherState>();
  std::mt19937 rng(7);
  const testing::Template t = testing::RandomTemplate(rng, 0.9);  // ~1840 usable bits
  int32_t score = -5;
  EXPECT_EQ(BuildEnrollTemplate(*state, kBigMatchParams, t.data(), t.data(), t.data(), &score), 3);
  EXPECT_EQ(score, 100);
  EXPECT_EQ(BuildEnrollTemplate(*state, kSmallMatchParams, t.data(), t.data(), t.data(), &score),
            1);
  EXPECT_EQ(score, 100);
  EXPECT_EQ(BuildEnrollTemplate(*state, kQ5MatchParams, t.data(), t.data(), t.data(), &score), 3);
  EXPECT_EQ(score, 100);
}

TEST(EnrollChoice, BuildComparesEachPairWithTheSecondRotated) {
  auto state = std::make_unique<MatcherState>();
  std::mt19937 rng(9);
  // t2 is t1 turned by 3 blocks, t3 an unrelated eye: only the pair (1,2) is close.
  const testing::Template t1 = testing::RandomTemplate(rng, 0.8);
  const testing::Template t2 = testing::RotateBlocks(t1, 3);
  const testing::Template t3 = testing::RandomTemplate(rng, 0.8);
  int32_t score;
  EXPECT_EQ(BuildEnrollTemplate(*state, kBigMatchParams, t1.data(), t2.data(), t3.data(), &score),
            -1);
  EXPECT_LT(score, 10);  // worst pair near 0.5
  // Small: the pair (1,2) is at distance < 0 (self-compare of ~1640 bits), so it is taken.
  EXPECT_GT(BuildEnrollTemplate(*state, kSmallMatchParams, t1.data(), t2.data(), t3.data(), &score),
            0);
  EXPECT_EQ(score, 100);
}

}  // namespace
}  // namespace ocuvant::engine
