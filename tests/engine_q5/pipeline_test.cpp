// Whole Process calls on synthetic eyes: success and localisation, result codes of
// rejected images, what the outputs hold, and thresholds before the Set operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/q5/q5_engine.h"
#include "engine/q5/q5_stages.h"
#include "synthetic_eye.h"

namespace ocuvant::engine::q5 {
namespace {

using test::RenderSynthetic;
using test::SyntheticEye;

struct Outputs {
  uint8_t tmpl[512];
  std::vector<uint8_t> crop = std::vector<uint8_t>(kCropBytes);
};

class Q5Pipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    InitEngine();
    SetEnrollQuality(60, 35, 50);
    SetMatchQuality(50, 33, 50);
  }
};

TEST_F(Q5Pipeline, LocatesPupilAndIrisOfCentredEye) {
  SyntheticEye e;
  auto img = RenderSynthetic(e);
  Outputs out;
  ASSERT_EQ(ProcessEnrollImage(img.data(), out.tmpl, out.crop.data()), 1);
  const State& s = ModuleState();
  EXPECT_NEAR(s.pupilCircle.x, e.pupilX, 2);
  EXPECT_NEAR(s.pupilCircle.y, e.pupilY, 2);
  EXPECT_NEAR(s.pupilCircle.r, e.pupilRadius, 2);
  EXPECT_NEAR(s.irisCircle.x, e.irisX, 3);
  EXPECT_NEAR(s.irisCircle.y, e.irisY, 3);
  EXPECT_NEAR(s.irisCircle.r, e.irisRadius, 3);
  int32_t q[3];
  ASSERT_EQ(GetQualityScores(&q[0], &q[1], &q[2]), 1);
  EXPECT_GE(q[0], 60);
  EXPECT_GE(q[1], 35);
  EXPECT_GE(q[2], 50);
}

TEST_F(Q5Pipeline, SuccessfulCallMarksTheCropAndWritesTheTemplate) {
  SyntheticEye e;
  auto img = RenderSynthetic(e);
  Outputs out;
  std::memset(out.tmpl, 0xEE, sizeof out.tmpl);
  ASSERT_EQ(ProcessMatchImage(img.data(), out.tmpl, out.crop.data()), 1);
  const State& s = ModuleState();
  EXPECT_EQ(out.crop[180 * 360 + 180], 255);  // iris centre
  const Point ip = s.irisPoints[128];         // right side of the iris circle
  EXPECT_EQ(out.crop[(ip.y - s.irisCircle.y + 180) * 360 + ip.x - s.irisCircle.x + 180], 255);
  const int32_t ax = 180 + s.pupilCircle.x - s.irisCircle.x,
                ay = 180 + s.pupilCircle.y - s.irisCircle.y;
  EXPECT_EQ(out.crop[ay * 360 + ax + 4], 255);  // pupil cross
  int32_t maskBits = 0;
  for (int i = 0; i < 256; ++i) maskBits += std::popcount(out.tmpl[i]);
  EXPECT_GT(maskBits, 1200);  // three quarters of the valid cells per plane
  EXPECT_NE(out.tmpl[0], 0xEE);
}

TEST_F(Q5Pipeline, SameIrisMatchesOtherIrisDoesNot) {
  Outputs out;
  std::vector<uint8_t> enrolled(3 * 512), probe(512), other(512);
  for (int i = 0; i < 3; ++i) {
    SyntheticEye e;
    e.noiseSeed = 10 + i;
    e.irisX = e.pupilX = 600 + 20 * i;
    e.rotationDegrees = 2.0 * i;
    auto img = RenderSynthetic(e);
    ASSERT_EQ(ProcessEnrollImage(img.data(), &enrolled[512 * i], out.crop.data()), 1) << i;
  }
  int32_t score = 0;
  const int32_t k = BuildEnrollTemplate(&enrolled[0], &enrolled[512], &enrolled[1024], &score);
  ASSERT_GE(k, 1);
  SyntheticEye e;
  e.noiseSeed = 99;
  e.irisY = e.pupilY = 500;
  e.rotationDegrees = -4;
  auto img = RenderSynthetic(e);
  ASSERT_EQ(ProcessMatchImage(img.data(), probe.data(), out.crop.data()), 1);
  e.irisSeed = 2;
  img = RenderSynthetic(e);
  ASSERT_EQ(ProcessMatchImage(img.data(), other.data(), out.crop.data()), 1);
  float s = 0;
  EXPECT_EQ(MatchTemplate(&enrolled[512 * (k - 1)], probe.data(), 1, &s), 0);
  EXPECT_LT(s, 0.25f);
  EXPECT_EQ(MatchTemplate(&enrolled[512 * (k - 1)], other.data(), 1, &s), -1);
  EXPECT_GT(s, 0.35f);
}

TEST_F(Q5Pipeline, ThresholdsAreZeroUntilSetSoAnyGazeOffsetFails) {
  State& s = ModuleState();
  s.enrollThresholds = s.matchThresholds = Thresholds{};  // as before any Set operation
  SyntheticEye e;
  e.pupilX += 12;  // detection point (the glint) away from the iris centre
  auto img = RenderSynthetic(e);
  Outputs out;
  EXPECT_EQ(ProcessEnrollImage(img.data(), out.tmpl, out.crop.data()), kGaze);
  EXPECT_GT(s.gazeOffset, 0);
}

TEST_F(Q5Pipeline, RejectionsLeaveTheTemplateAndEarlierScoresAlone) {
  SyntheticEye e;
  auto img = RenderSynthetic(e);
  Outputs out;
  ASSERT_EQ(ProcessEnrollImage(img.data(), out.tmpl, out.crop.data()), 1);
  int32_t before[3], after[3];
  GetQualityScores(&before[0], &before[1], &before[2]);
  uint8_t tmpl[512];
  std::memset(tmpl, 0x5A, sizeof tmpl);
  // Uniform image: no focus power at all.
  std::vector<uint8_t> flat(kEyeWidth * kEyeHeight, 128);
  EXPECT_EQ(ProcessEnrollImage(flat.data(), tmpl, out.crop.data()), kGlobalFocus);
  // Closed eye: skin and noise only.
  e.upperLid = 2;
  e.lowerLid = -2;
  img = RenderSynthetic(e);
  EXPECT_LT(ProcessEnrollImage(img.data(), tmpl, out.crop.data()), 0);
  // Lids low over the iris: opening below 60 percent (texture and visibility values kept).
  SyntheticEye lids;
  lids.upperLid = -0.1;
  lids.lowerLid = 0.3;
  img = RenderSynthetic(lids);
  const int32_t rc = ProcessEnrollImage(img.data(), tmpl, out.crop.data());
  EXPECT_LT(rc, -1);
  for (uint8_t b : tmpl) ASSERT_EQ(b, 0x5A);
  GetQualityScores(&after[0], &after[1], &after[2]);
  EXPECT_EQ(after[0], before[0]);
}

// Odd images must come back with a result code, reading and writing only inside the
// buffers (checked under the address sanitizer).
TEST_F(Q5Pipeline, OddImagesReturnACode) {
  Outputs out;
  std::vector<uint8_t> img(kEyeWidth * kEyeHeight);
  uint32_t seed = 1;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const auto fillers = {0, 1, 2, 3, 4, 5};
  for (int kind : fillers) {
    for (size_t i = 0; i < img.size(); ++i) {
      const int x = static_cast<int>(i % kEyeWidth), y = static_cast<int>(i / kEyeWidth);
      switch (kind) {
        case 0:
          img[i] = static_cast<uint8_t>(next() >> 24);
          break;
        case 1:
          img[i] = 0;
          break;
        case 2:
          img[i] = 255;
          break;
        case 3:
          img[i] = ((x / 3 + y / 3) & 1) ? 255 : 0;
          break;
        case 4:
          img[i] = static_cast<uint8_t>((next() >> 24) < 8 ? 255 : 10);
          break;
        default:
          img[i] = static_cast<uint8_t>(x ^ y);
          break;
      }
    }
    const int32_t rc = ProcessMatchImage(img.data(), out.tmpl, out.crop.data());
    EXPECT_TRUE(rc == 1 || (rc <= -1 && rc >= -20 && rc != -8 && rc != -10 && rc != -12)) << kind;
  }
  // Eyes pushed against every border of the image.
  for (const auto& [x, y] :
       {std::pair{150.0, 540.0}, {1130.0, 540.0}, {640.0, 150.0}, {640.0, 930.0}, {200.0, 200.0}}) {
    SyntheticEye e;
    e.irisX = e.pupilX = x;
    e.irisY = e.pupilY = y;
    auto eye = RenderSynthetic(e);
    const int32_t rc = ProcessMatchImage(eye.data(), out.tmpl, out.crop.data());
    EXPECT_TRUE(rc == 1 || (rc <= -1 && rc >= -20)) << x << "," << y;
  }
}

}  // namespace
}  // namespace ocuvant::engine::q5
