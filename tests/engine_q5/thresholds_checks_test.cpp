// Threshold conversion, quality scores and the single-precision limits of the checks.
#include <gtest/gtest.h>

#include "engine/q5/q5_engine.h"
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {
namespace {

TEST(Q5Thresholds, TextureMinimumTable) {
  const int32_t table[][2] = {{0, 0},   {10, 5},  {33, 11}, {35, 12}, {50, 16},
                              {60, 20}, {70, 24}, {80, 32}, {90, 48}};
  for (const auto& [t, expected] : table) EXPECT_EQ(TextureMinimum(t), expected) << t;
  // Undefined settings count as 99, including negatives read as unsigned.
  EXPECT_EQ(TextureMinimum(100), TextureMinimum(99));
  EXPECT_EQ(TextureMinimum(-1), TextureMinimum(99));
  EXPECT_EQ(TextureMinimum(99), 159);
}

TEST(Q5Thresholds, SetOperationsFillOnlyTheirSet) {
  InitEngine();
  State& s = ModuleState();
  s.enrollThresholds = s.matchThresholds = Thresholds{};
  SetEnrollQuality(60, 35, 50);
  EXPECT_EQ(s.enrollThresholds.textureMin, 20);
  EXPECT_EQ(s.enrollThresholds.visualMin, 35);
  EXPECT_EQ(s.enrollThresholds.gazeMax, 50);
  EXPECT_EQ(s.matchThresholds.textureMin, 0);
  SetMatchQuality(50, 33, 100);
  EXPECT_EQ(s.matchThresholds.textureMin, 16);
  EXPECT_EQ(s.matchThresholds.gazeMax, 0);
}

TEST(Q5Thresholds, TextureScoreExamples) {
  State& s = ModuleState();
  const int32_t table[][2] = {{12, 36}, {16, 50}, {20, 60}, {24, 69}, {48, 90}, {19, 58}, {0, 0}};
  for (const auto& [c, expected] : table) {
    s.textureValue = c;
    s.visiblePercent = 77;
    s.gazeOffset = 13;
    int32_t q1, q2, q3;
    ASSERT_EQ(GetQualityScores(&q1, &q2, &q3), 1);
    EXPECT_EQ(q1, expected) << c;
    EXPECT_EQ(q2, 77);
    EXPECT_EQ(q3, 87);
  }
}

class Q5IrisChecks : public ::testing::Test {
 protected:
  State s;
  void SetUp() override {
    s.limits = kEnrollLimits;
    s.thresholds = {0, 0, 50};
  }
  int32_t Check(Circle pupil, Circle iris, Point det = {-1, -1}) {
    if (det.x < 0) det = {iris.x, iris.y};
    int32_t gaze = -1;
    return CheckIrisCircle(s, pupil, iris, det, &gaze);
  }
};

TEST_F(Q5IrisChecks, BorderOfSeventyPixels) {
  const Circle pupil{200, 540, 40};
  EXPECT_EQ(Check(pupil, {170, 540, 100}), 1);  // ix - ri = 70
  EXPECT_EQ(Check(pupil, {169, 540, 100}), kIrisBorder);
  EXPECT_EQ(Check({1080, 540, 40}, {1110, 540, 100}), 1);  // ix + ri = 1210
  EXPECT_EQ(Check({1080, 540, 40}, {1111, 540, 100}), kIrisBorder);
  EXPECT_EQ(Check({640, 200, 40}, {640, 170, 100}), 1);
  EXPECT_EQ(Check({640, 200, 40}, {640, 169, 100}), kIrisBorder);
  EXPECT_EQ(Check({640, 880, 40}, {640, 910, 100}), 1);  // iy + ri = 1010
  EXPECT_EQ(Check({640, 880, 40}, {640, 911, 100}), kIrisBorder);
}

TEST_F(Q5IrisChecks, RadiusLimitsPerOperation) {
  const Circle pupil{640, 540, 40};
  EXPECT_EQ(Check(pupil, {640, 540, 85}), 1);
  EXPECT_EQ(Check(pupil, {640, 540, 84}), kIrisRadius);
  EXPECT_EQ(Check(pupil, {640, 540, 155}), 1);
  EXPECT_EQ(Check(pupil, {640, 540, 156}), kIrisRadius);
  s.limits = kMatchLimits;
  EXPECT_EQ(Check(pupil, {640, 540, 80}), 1);
  EXPECT_EQ(Check(pupil, {640, 540, 79}), kIrisRadius);
  EXPECT_EQ(Check(pupil, {640, 540, 160}), 1);
  EXPECT_EQ(Check(pupil, {640, 540, 161}), kIrisRadius);
}

TEST_F(Q5IrisChecks, RatioLimitsAreSinglePrecision) {
  // 0.69 exactly is above the float 0.68999999762; 0.11 exactly is above 0.10999999940.
  EXPECT_EQ(Check({640, 540, 69}, {640, 540, 100}), kRadiusRatio);
  EXPECT_EQ(Check({640, 540, 68}, {640, 540, 100}), 1);
  EXPECT_EQ(Check({640, 540, 11}, {640, 540, 100}), 1);
  EXPECT_EQ(Check({640, 540, 10}, {640, 540, 100}), kRadiusRatio);
}

TEST_F(Q5IrisChecks, PupilStrictlyInsideWithMargin) {
  EXPECT_EQ(Check({640, 540, 60}, {640, 540, 91}), kPupilNotInside);   // ri - rp = 31
  EXPECT_EQ(Check({640, 540, 60}, {640, 540, 92}), 1);                 // exactly 32
  EXPECT_EQ(Check({580, 540, 40}, {640, 540, 100}), kPupilNotInside);  // touches the left side
  EXPECT_EQ(Check({581, 540, 40}, {640, 540, 100}), 1);
  EXPECT_EQ(Check({640, 600, 40}, {640, 540, 100}), kPupilNotInside);  // touches the bottom
}

TEST_F(Q5IrisChecks, GazeAtTheLimitPassesOneMoreFails) {
  const Circle pupil{640, 540, 40}, iris{640, 540, 100};
  EXPECT_EQ(Check(pupil, iris, {690, 540}), 1);  // offset 50 = gazeMax
  EXPECT_EQ(Check(pupil, iris, {691, 540}), kGaze);
  // Thresholds of 0 (before the Set operations): only an offset of 0 passes.
  s.thresholds = Thresholds{};
  EXPECT_EQ(Check(pupil, iris, {640, 540}), 1);
  EXPECT_EQ(Check(pupil, iris, {641, 540}), kGaze);
}

TEST(Q5Contrast, LimitsAreSinglePrecision) {
  // Pupil: inner/outer of exactly 0.9 is above the float 0.9 (0.89999998).
  EXPECT_FALSE(PupilContrastOk(900, 1000, 0.9f));
  EXPECT_TRUE(PupilContrastOk(899, 1000, 0.9f));
  EXPECT_FALSE(PupilContrastOk(0, 0, 0.9f));  // nothing bright outside: no pupil
  // Sclera: outer/inner of exactly 1.1 is below the float 1.1 (1.10000002).
  EXPECT_FALSE(ScleraContrastOk(1000, 1100, 1.1f));
  EXPECT_TRUE(ScleraContrastOk(1000, 1101, 1.1f));
  EXPECT_FALSE(ScleraContrastOk(0, 0, 1.1f));
  EXPECT_TRUE(ScleraContrastOk(0, 5, 1.1f));
}

TEST(Q5EyeOpening, StepsOfFourAroundTheMinimum) {
  // ri = 100, enroll minimum 60 percent: opening 60 passes, 56 fails.
  EXPECT_TRUE(EyeOpeningOk(-52, 8, 100, 60));
  EXPECT_FALSE(EyeOpeningOk(-48, 8, 100, 60));
  EXPECT_TRUE(EyeOpeningOk(-48, 8, 100, 50));   // 56 passes the match minimum
  EXPECT_FALSE(EyeOpeningOk(-40, 8, 100, 50));  // 48
}

}  // namespace
}  // namespace ocuvant::engine::q5
