// Rendered eyes of many subjects: acceptance, localisation against the ground truth,
// rejection of defocused, closed and missing eyes, genuine and impostor matching.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine_fixture.h"
#include "simulator/render/eye_renderer.h"

namespace ocuvant::engine::smallbig::testing {
namespace {

constexpr int kSubjects = 30;
constexpr int kCaptures = 2;

class RenderedEyes : public EngineTest {};

TEST_P(RenderedEyes, AreAcceptedLocatedAndMatched) {
  const int w = kind().width(), h = kind().height();
  std::vector<uint8_t> img(static_cast<size_t>(w) * h);
  std::vector<std::vector<uint8_t>> templates(kSubjects * kCaptures);
  int accepted = 0, pupilOk = 0, irisOk = 0;
  std::vector<double> irisRadiusError;
  for (int subject = 0; subject < kSubjects; ++subject) {
    const sim::Subject person(1000 + subject);
    for (int capture = 0; capture < kCaptures; ++capture) {
      const sim::CaptureParams p = sim::GoodCapture(w, h, 77 * subject + capture + 1);
      const sim::EyeTruth truth = sim::RenderEye(person, subject & 1, p, img.data(), w, h);
      if (Enroll(img) != kOk) continue;
      ++accepted;
      templates[subject * kCaptures + capture].assign(templ, templ + 512);
      int32_t x, y, r, rp;
      kind().ops.GetLocationResult(&x, &y, &r, &rp);
      const EngineState& s = kind().state;
      pupilOk += std::hypot(s.px - truth.pupilX, s.py - truth.pupilY) <= 2 &&
                 std::abs(rp - truth.pupilRadius) <= 2;
      irisOk += std::hypot(x - truth.irisX, y - truth.irisY) <= 3;
      irisRadiusError.push_back(r - truth.irisRadius);
    }
  }
  const int total = kSubjects * kCaptures;
  EXPECT_GE(accepted * 100, 95 * total);
  EXPECT_GE(pupilOk * 100, 95 * accepted);
  EXPECT_GE(irisOk * 100, 95 * accepted);
  std::sort(irisRadiusError.begin(), irisRadiusError.end());
  std::printf(
      "%s: accepted %d/%d, pupil within 2 px %d, iris centre within 3 px %d, median iris "
      "radius error %.2f px\n",
      kind().name, accepted, total, pupilOk, irisOk,
      irisRadiusError.empty() ? 0.0 : irisRadiusError[irisRadiusError.size() / 2]);

  // Each capture matches the other capture of its subject (n = 1) and no other subject.
  int genuine = 0, genuineTried = 0, falseMatches = 0;
  float worstGenuine = 0, bestImpostor = 1;
  double impostorSum = 0;
  int impostors = 0;
  for (int a = 0; a < total; ++a) {
    for (int b = a + 1; b < total; ++b) {
      if (templates[a].empty() || templates[b].empty()) continue;
      float score;
      const int32_t index =
          kind().ops.MatchTemplate(templates[a].data(), templates[b].data(), 1, &score);
      if (a / kCaptures == b / kCaptures) {
        ++genuineTried;
        genuine += index == 0;
        worstGenuine = std::max(worstGenuine, score);
      } else {
        falseMatches += index == 0;
        bestImpostor = std::min(bestImpostor, score);
        impostorSum += score;
        ++impostors;
      }
    }
  }
  std::printf(
      "%s: genuine matches %d/%d (worst score %.3f), false matches %d (best impostor "
      "%.3f, mean %.3f)\n",
      kind().name, genuine, genuineTried, worstGenuine, falseMatches, bestImpostor,
      impostors ? impostorSum / impostors : 1.0);
  EXPECT_GE(genuine * 100, 99 * genuineTried);
  EXPECT_EQ(falseMatches, 0);
}

TEST_P(RenderedEyes, DefocusedClosedAndMissingEyesAreRejected) {
  const int w = kind().width(), h = kind().height();
  std::vector<uint8_t> img(static_cast<size_t>(w) * h);
  for (int subject = 0; subject < 6; ++subject) {
    const sim::Subject person(2000 + subject);
    for (sim::EyeVariant v :
         {sim::EyeVariant::Defocused, sim::EyeVariant::Closed, sim::EyeVariant::NoEye}) {
      sim::CaptureParams p = sim::GoodCapture(w, h, subject + 1);
      p.variant = v;
      sim::RenderEye(person, subject & 1, p, img.data(), w, h);
      auto copy = img;
      EXPECT_LT(Enroll(copy), 0) << subject << " variant " << static_cast<int>(v);
      EXPECT_LT(Match(img), 0) << subject << " variant " << static_cast<int>(v);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RenderedEyes, ::testing::Bool(), KindName);

}  // namespace
}  // namespace ocuvant::engine::smallbig::testing
