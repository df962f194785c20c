// StepPeak (mirror, at-least-zero, later wins) and HistQuantile.
#include <gtest/gtest.h>

#include "engine/q5/q5_profile.h"

namespace ocuvant::engine::q5 {
namespace {

TEST(Q5StepPeak, MirrorsAtBothEndsAndPrefersLaterEqualPeaks) {
  // Lag 1 with S3 (50, 100, 50 around the centre): s[i] = 50 d[i-1] + 100 d[i] + 50 d[i+1],
  // d[-1] = d[1] and d[d] = d[d-2] by the mirror.
  const int32_t p[7] = {0, 10, 10, 10, 10, 10, 20};  // d = 10, 0, 0, 0, 0, 10
  int32_t s[6];
  const Peak peak = StepPeak(p, 7, 1, kS3, s);
  EXPECT_EQ(s[0], 100 * 10 + 2 * 50 * 0);  // d[-1] mirrors d[1] = 0
  EXPECT_EQ(s[1], 50 * 10);
  EXPECT_EQ(s[5], 100 * 10 + 2 * 50 * 0);  // d[6] mirrors d[4] = 0
  ASSERT_TRUE(peak.found);
  EXPECT_EQ(peak.index, 5);  // equal to s[0]: the later one wins
  EXPECT_EQ(peak.value, 1000);
}

TEST(Q5StepPeak, NoPeakWhenEverySmoothedStepIsNegative) {
  const int32_t falling[8] = {70, 60, 50, 40, 30, 20, 10, 0};
  EXPECT_FALSE(StepPeak(falling, 8, 2, kS1).found);
  // A flat profile gives s = 0 everywhere, which counts (at least 0): the last index.
  const int32_t flat[8] = {5, 5, 5, 5, 5, 5, 5, 5};
  const Peak p = StepPeak(flat, 8, 2, kS1);
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.index, 5);
  EXPECT_EQ(p.value, 0);
}

TEST(Q5HistQuantile, FirstBinReachingTheTruncatedTarget) {
  int32_t h[256] = {};
  h[10] = 3;
  h[20] = 1;
  // count 4: 1/4 -> target 1 -> bin 10; 3/4 -> 3 -> bin 10; 15/16 -> 60/16 = 3 -> bin 10.
  EXPECT_EQ(HistQuantile(h, 256, 4, 1, 4), 10);
  EXPECT_EQ(HistQuantile(h, 256, 4, 15, 16), 10);
  EXPECT_EQ(HistQuantile(h, 256, 4, 1, 1), 20);
  // Empty histogram: 0; a target of 0 stops at bin 0 even when bin 0 is empty.
  int32_t empty[256] = {};
  EXPECT_EQ(HistQuantile(empty, 256, 0, 1, 2), 0);
  EXPECT_EQ(HistQuantile(h, 256, 1, 1, 2), 0);
}

}  // namespace
}  // namespace ocuvant::engine::q5
