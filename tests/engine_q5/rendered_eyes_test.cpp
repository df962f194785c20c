// Rendered 1280 x 1080 eyes of 30 subjects: acceptance, localisation against the ground
// truth, rejection of defocused, closed and empty images, and genuine/impostor matching.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/q5/q5_engine.h"
#include "engine/q5/q5_stages.h"
#include "simulator/render/eye_renderer.h"

namespace ocuvant::engine::q5 {
namespace {

constexpr int kW = 1280, kH = 1080;
constexpr int kSubjects = 30, kEnrollCaptures = 3;

struct EyeResult {
  bool enrolled = false;
  uint8_t enrolledTemplate[512];
  bool probed = false;
  uint8_t probe[512];
};

TEST(Q5RenderedEyes, AcceptLocateRejectAndMatch) {
  InitEngine();
  SetEnrollQuality(60, 35, 50);
  SetMatchQuality(50, 33, 50);
  std::vector<uint8_t> img(kW * kH), crop(kCropBytes);
  std::vector<EyeResult> eyes(kSubjects * 2);
  int good = 0, accepted = 0, accurate = 0, variantsRejected = 0, variants = 0;
  uint8_t captures[kEnrollCaptures][512];

  for (int subj = 0; subj < kSubjects; ++subj) {
    const sim::Subject subject(1000 + subj);
    for (int eye = 0; eye < 2; ++eye) {
      EyeResult& r = eyes[subj * 2 + eye];
      int got = 0;
      // Enrollment captures, then one probe with the match thresholds.
      for (int c = 0; c <= kEnrollCaptures; ++c) {
        const sim::CaptureParams p = sim::GoodCapture(kW, kH, 7919 * subj + 31 * eye + c);
        const sim::EyeTruth truth = sim::RenderEye(subject, eye, p, img.data(), kW, kH);
        const bool probe = c == kEnrollCaptures;
        uint8_t* out = probe ? r.probe : captures[got];
        const int32_t rc = probe ? ProcessMatchImage(img.data(), out, crop.data())
                                 : ProcessEnrollImage(img.data(), out, crop.data());
        ++good;
        if (rc != 1) {
          std::printf("subject %d eye %d capture %d: %d\n", subj, eye, c, rc);
          continue;
        }
        ++accepted;
        const State& s = ModuleState();
        const bool ok = std::abs(s.pupilCircle.x - truth.pupilX) <= 2 &&
                        std::abs(s.pupilCircle.y - truth.pupilY) <= 2 &&
                        std::abs(s.pupilCircle.r - truth.pupilRadius) <= 2 &&
                        std::abs(s.irisCircle.x - truth.irisX) <= 3 &&
                        std::abs(s.irisCircle.y - truth.irisY) <= 3;
        accurate += ok;
        if (probe)
          r.probed = true;
        else
          ++got;
      }
      if (got == kEnrollCaptures) {
        int32_t score = 0;
        const int32_t k = BuildEnrollTemplate(captures[0], captures[1], captures[2], &score);
        if (k < 1) std::printf("subject %d eye %d: enrollment score %d\n", subj, eye, score);
        if (k >= 1) {
          r.enrolled = true;
          std::memcpy(r.enrolledTemplate, captures[k - 1], 512);
        }
      }
    }
    // Images that must never pass.
    for (const sim::EyeVariant v :
         {sim::EyeVariant::Defocused, sim::EyeVariant::Closed, sim::EyeVariant::NoEye}) {
      sim::CaptureParams p = sim::GoodCapture(kW, kH, 555 + subj);
      p.variant = v;
      sim::RenderEye(subject, subj & 1, p, img.data(), kW, kH);
      uint8_t tmpl[512];
      const int32_t rc = ProcessEnrollImage(img.data(), tmpl, crop.data());
      ++variants;
      variantsRejected += rc != 1;
      EXPECT_NE(rc, 1) << "variant " << static_cast<int>(v) << " subject " << subj;
    }
  }

  int genuine = 0, genuineMatched = 0, impostor = 0, falseMatches = 0;
  for (size_t a = 0; a < eyes.size(); ++a) {
    if (!eyes[a].enrolled) continue;
    for (size_t b = 0; b < eyes.size(); ++b) {
      if (!eyes[b].probed) continue;
      float score = 0;
      const int32_t idx = MatchTemplate(eyes[a].enrolledTemplate, eyes[b].probe, 1, &score);
      if (a == b) {
        ++genuine;
        genuineMatched += idx == 0;
      } else {
        ++impostor;
        falseMatches += idx == 0;
        if (idx == 0)
          std::printf("false match: enrolled %zu probe %zu score %.4f N %u\n", a, b, score,
                      ModuleState().matcher.best.commonBits);
      }
    }
  }
  std::printf(
      "accepted %d/%d, located %d/%d, variants rejected %d/%d, genuine %d/%d, "
      "false matches %d/%d\n",
      accepted, good, accurate, accepted, variantsRejected, variants, genuineMatched, genuine,
      falseMatches, impostor);
  EXPECT_GE(accepted * 100, good * 95);
  EXPECT_GE(accurate * 100, accepted * 95);
  EXPECT_EQ(variantsRejected, variants);
  EXPECT_GE(genuine, kSubjects * 2 * 95 / 100);
  EXPECT_GE(genuineMatched * 100, genuine * 99);
  EXPECT_EQ(falseMatches, 0);
}

}  // namespace
}  // namespace ocuvant::engine::q5
