// Process calls on crafted images: result codes in stage order, outputs, thresholds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine_fixture.h"

namespace ocuvant::engine::smallbig::testing {
namespace {

using ::testing::Each;

TEST_P(EngineTest, FlatImagesFailTheGlobalFocusFirst) {
  for (int level : {0, 128, 255}) {
    auto img = Flat(kind().width(), kind().height(), level);
    EXPECT_EQ(Enroll(img), kGlobalFocus) << level;
    EXPECT_EQ(kind().state.globalFocus, 0);
  }
  // Without a focus requirement a flat image has no dark spot: the detector is zero-sum.
  kind().ops.SetEnrollQuality(50, 60, 50, 0, 0);
  auto img = Flat(kind().width(), kind().height(), 128);
  EXPECT_EQ(Enroll(img), kNoDarkSpot);
}

TEST_P(EngineTest, NoiseImagesReturnACodeWithoutTouchingTheOutputs) {
  std::memset(templ, 0xAB, sizeof templ);
  std::memset(crop, 0xCD, sizeof crop);
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    auto img = Flat(kind().width(), kind().height(), 128, 127, seed);
    EXPECT_LT(Enroll(img), 0);
    img = Flat(kind().width(), kind().height(), 128, 127, seed);
    EXPECT_LT(Match(img), 0);
  }
  EXPECT_THAT(templ, Each(0xAB));
  EXPECT_THAT(crop, Each(0xCD));
}

TEST_P(EngineTest, AGoodEyeIsAcceptedAndLocated) {
  const SyntheticEye e = GoodEye();
  auto img = Draw(e);
  std::memset(crop, 0xCD, sizeof crop);
  ASSERT_EQ(Enroll(img), kOk);
  int32_t x, y, r, rp;
  kind().ops.GetLocationResult(&x, &y, &r, &rp);
  EXPECT_NEAR(x, e.cx, 2);
  EXPECT_NEAR(y, e.cy, 2);
  EXPECT_NEAR(rp, e.pupilR, 2);
  EXPECT_NEAR(r, e.irisR, 5);  // the edge profile's lag pulls the radius inward
  int32_t q[6];
  kind().ops.GetQualityScores(q);
  EXPECT_GE(q[0], 50);  // texture
  EXPECT_GE(q[1], 90);  // visible iris
  EXPECT_GE(q[2], 90);  // gaze
  EXPECT_EQ(q[5], static_cast<int>(std::floor(100.0 * rp / r + 0.5)));
  // The crop is centred on the iris and carries the marks; nothing beyond S*S is written.
  const int S = kind().crop();
  EXPECT_EQ(crop[(S / 2) * S + S / 2], 255);
  if (S * S < static_cast<int>(sizeof crop)) {
    EXPECT_EQ(crop[S * S], 0xCD);
  }
  // The image was painted white above the upper lid parabola.
  EXPECT_EQ(img[static_cast<size_t>(y - r) * kind().width() + x], 255);
}

TEST_P(EngineTest, TheSearchRectangleIsClampedAndMayBeNarrow) {
  auto good = Draw(GoodEye());
  auto img = good;
  EXPECT_EQ(Enroll(img, 700, 600, 0, 4000), kNoDarkSpot);  // inverted in x
  img = good;
  EXPECT_EQ(Enroll(img, 0, 4000, 500, 500), kNoDarkSpot);  // empty in y
  img = good;
  EXPECT_EQ(Enroll(img, -500, -10, -500, -10), kNoDarkSpot);  // entirely outside
  img = good;
  EXPECT_EQ(Enroll(img, 5000, 6000, 0, 4000), kNoDarkSpot);
  // One column wide, through the pupil: the first column is still tried.
  img = good;
  const int cx = kind().width() / 2;
  EXPECT_EQ(Enroll(img, cx, cx + 1, 0, 4000), kOk);
  EXPECT_EQ(kind().state.xs, cx);
}

TEST_P(EngineTest, FocusEqualToTheThresholdPasses) {
  auto img = Draw(GoodEye());
  auto copy = img;
  ASSERT_EQ(Enroll(copy), kOk);
  const int32_t global = kind().state.globalFocus;
  const int32_t local = kind().state.localFocus;
  kind().ops.SetEnrollQuality(50, 60, 50, std::min(global, local), 0);
  copy = img;
  EXPECT_EQ(Enroll(copy), kOk);
  kind().ops.SetEnrollQuality(50, 60, 50, global + 1, 0);
  copy = img;
  EXPECT_EQ(Enroll(copy), kGlobalFocus);
  if (local < global) {
    kind().ops.SetEnrollQuality(50, 60, 50, local + 1, 0);
    copy = img;
    EXPECT_EQ(Enroll(copy), kLocalFocus);
  }
}

TEST_P(EngineTest, MovementBelowItsThresholdFails) {
  auto img = Draw(GoodEye());
  auto copy = img;
  ASSERT_EQ(Enroll(copy), kOk);
  const int32_t movement = kind().state.movement;
  kind().ops.SetEnrollQuality(50, 60, 50, 0, movement);
  copy = img;
  EXPECT_EQ(Enroll(copy), kOk);
  kind().ops.SetEnrollQuality(50, 60, 50, 0, movement + 1);
  copy = img;
  EXPECT_EQ(Enroll(copy), kMovement);
}

TEST_P(EngineTest, ABlurredEyeFailsTheGlobalFocus) {
  SyntheticEye e = GoodEye();
  e.noise = 0;
  e.textureAmplitude = 3;
  auto img = Draw(e);
  EXPECT_EQ(Enroll(img), kGlobalFocus);
}

TEST_P(EngineTest, GazeOffsetAboveTheLimitFails) {
  SyntheticEye e = GoodEye();
  e.pupilX = e.cx + 0.2 * e.irisR;  // pupil (and dark spot) off the iris centre
  auto img = Draw(e);
  auto copy = img;
  kind().ops.SetEnrollQuality(50, 0, 50, 70, 0);
  ASSERT_EQ(Enroll(copy), kOk);
  int32_t q[6];
  kind().ops.GetQualityScores(q);
  const int32_t offset = kind().state.gazeOffset;
  EXPECT_EQ(q[2], 100 - offset);
  EXPECT_GE(offset, 5);
  kind().ops.SetEnrollQuality(50, 0, 100 - offset, 70, 0);  // gazeMax = offset: passes
  copy = img;
  EXPECT_EQ(Enroll(copy), kOk);
  kind().ops.SetEnrollQuality(50, 0, 101 - offset, 70, 0);
  copy = img;
  EXPECT_EQ(Enroll(copy), kGaze);
}

TEST_P(EngineTest, AFlatIrisHasNoTexture) {
  SyntheticEye e = GoodEye();
  e.textureAmplitude = 0;
  e.irisNoise = 0;
  auto img = Draw(e);
  auto copy = img;
  EXPECT_EQ(Enroll(copy), kTexture);
  EXPECT_EQ(kind().state.texture, 0);
  // With no texture requirement the template is built; only cells with |R| > 0 carry mask bits.
  kind().ops.SetEnrollQuality(0, 60, 50, 70, 0);
  copy = img;
  std::memset(templ, 0xAB, sizeof templ);
  ASSERT_EQ(Enroll(copy), kOk);
  const EngineState& s = kind().state;
  for (int a = 0; a < 128; ++a)
    for (int b = 0; b < 8; ++b) {
      const bool even = templ[a] >> b & 1, odd = templ[128 + a] >> b & 1;
      EXPECT_EQ(even, s.validCells[a][b] && s.reven[a][b] != 0);
      EXPECT_EQ(odd, s.validCells[a][b] && s.rodd[a][b] != 0);
    }
}

TEST_P(EngineTest, AnOpeningBetweenTheLimitsFailsWhenEnrollingOnly) {
  // Close the lids step by step until enrolling fails on the opening (60 % of the radius);
  // matching (50 %) must still accept that image.
  kind().ops.SetEnrollQuality(50, 0, 50, 70, 0);
  kind().ops.SetMatchQuality(50, 0, 50, 67, 0);
  bool found = false;
  for (double f = 0.45; f > 0.15 && !found; f -= 0.02) {
    SyntheticEye e = GoodEye();
    e.upperLid = -f * e.irisR;
    e.lowerLid = f * e.irisR;
    auto img = Draw(e);
    auto copy = img;
    const int32_t code = Enroll(copy);
    if (code == kOk) continue;
    ASSERT_EQ(code, kEyeOpening) << f;
    const EngineState& s = kind().state;
    EXPECT_LT(100 * (s.lowerLid.yv - s.upperLid.yv), 60 * s.irisR);
    if (100 * (s.lowerLid.yv - s.upperLid.yv) < 50 * s.irisR) break;
    copy = img;
    EXPECT_EQ(Match(copy), kOk) << f;
    found = true;
  }
  EXPECT_TRUE(found);
}

TEST_P(EngineTest, AClosedEyeIsRejected) {
  SyntheticEye e = GoodEye();
  e.upperLid = -2;
  e.lowerLid = 2;
  auto img = Draw(e);
  EXPECT_LT(Enroll(img), 0);
  img = Draw(e);
  EXPECT_LT(Match(img), 0);
}

TEST_P(EngineTest, AnEyeAtTheBorderIsRejectedWithoutLeavingTheImage) {
  for (double cx : {20.0, 100.0, kind().width() - 100.0}) {
    SyntheticEye e = GoodEye();
    e.cx = cx;
    auto img = Draw(e);
    EXPECT_LT(Enroll(img), 0) << cx;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, EngineTest, ::testing::Bool(), KindName);

}  // namespace
}  // namespace ocuvant::engine::smallbig::testing
