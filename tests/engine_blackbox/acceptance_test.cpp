// Rendered eye folders per kind: good captures accepted and located, every defocused,
// closed-eye and no-eye variant rejected. Budgets fail the test when the figures degrade.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tests/engine_blackbox/rendered_eyes.h"

namespace ocuvant::engine::blackbox {
namespace {

class RenderedFolder : public ::testing::TestWithParam<TemplateKind> {};

TEST_P(RenderedFolder, GoodCapturesAreAcceptedAndLocated) {
  const TemplateKind kind = GetParam();
  const std::vector<ProcessedEye>& folder = EnrollFolder(kind);
  int accepted = 0, located = 0;
  std::vector<double> irisRadiusError;
  for (const ProcessedEye& e : folder) {
    if (e.code != 1) {
      std::printf("  %s subject %d capture %d rejected: %d\n", kKindNames[kind], e.subject,
                  e.capture, e.code);
      continue;
    }
    ++accepted;
    if (kind == KindQ5) continue;  // no location values
    const double dx = e.location[0] - e.truth.irisX, dy = e.location[1] - e.truth.irisY;
    const bool ok =
        std::hypot(dx, dy) <= 3.0 && std::abs(e.location[3] - e.truth.pupilRadius) <= 2.0;
    located += ok;
    irisRadiusError.push_back(e.location[2] - e.truth.irisRadius);
  }
  const double acceptRate = 100.0 * accepted / static_cast<double>(folder.size());
  std::printf("%s: %d of %zu good captures accepted (%.1f %%)\n", kKindNames[kind], accepted,
              folder.size(), acceptRate);
  EXPECT_GE(acceptRate, 95.0);
  if (kind != KindQ5 && accepted > 0) {
    std::sort(irisRadiusError.begin(), irisRadiusError.end());
    const double locatedRate = 100.0 * located / accepted;
    std::printf(
        "%s: %.1f %% located (iris centre within 3 px, pupil radius within 2 px); "
        "median iris radius error %.2f px\n",
        kKindNames[kind], locatedRate, irisRadiusError[irisRadiusError.size() / 2]);
    EXPECT_GE(locatedRate, 95.0);
  }
}

TEST_P(RenderedFolder, EveryUnusableVariantIsRejected) {
  const TemplateKind kind = GetParam();
  for (sim::EyeVariant v :
       {sim::EyeVariant::Defocused, sim::EyeVariant::Closed, sim::EyeVariant::NoEye}) {
    int falsePositives = 0;
    for (int s = 1; s <= 10; ++s)
      for (bool match : {false, true}) {
        const ProcessedEye e = RenderAndProcess(kind, s, 7, match, v);
        if (e.code == 1) {
          ++falsePositives;
          std::printf("  %s variant %d subject %d accepted (match mode %d)\n", kKindNames[kind],
                      static_cast<int>(v), s, match);
        }
      }
    EXPECT_EQ(falsePositives, 0) << "variant " << static_cast<int>(v);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RenderedFolder, ::testing::Values(KindSmall, KindBig, KindQ5),
                         [](const auto& info) { return std::string(kKindNames[info.param]); });

}  // namespace
}  // namespace ocuvant::engine::blackbox
