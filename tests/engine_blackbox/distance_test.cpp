// Genuine and impostor distances on rendered subjects: captures of one subject match at
// n = 1, captures of different subjects never do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/engine_blackbox/rendered_eyes.h"

namespace ocuvant::engine::blackbox {
namespace {

class Distances : public ::testing::TestWithParam<TemplateKind> {};

TEST_P(Distances, GenuineMatchAndNoFalseMatch) {
  const TemplateKind kind = GetParam();
  const EngineOps& ops = Engine(kind);
  // Enrolled: each subject's first accepted capture. Probes: captures 4 and 5 in match mode.
  std::vector<const ProcessedEye*> enrolled(kSubjects + 1, nullptr);
  for (const ProcessedEye& e : EnrollFolder(kind))
    if (e.code == 1 && !enrolled[e.subject]) enrolled[e.subject] = &e;
  std::vector<ProcessedEye> probes;
  for (int s = 1; s <= kSubjects; ++s)
    for (int c : {4, 5}) {
      ProcessedEye p = RenderAndProcess(kind, s, c, true);
      if (p.code == 1) probes.push_back(p);
    }

  int genuine = 0, genuineMatched = 0, impostor = 0, falseMatches = 0;
  float worstGenuine = -1.0f, bestImpostor = 2.0f;
  for (const ProcessedEye& p : probes)
    for (int s = 1; s <= kSubjects; ++s) {
      if (!enrolled[s]) continue;
      float score = 1.0f;
      const int32_t index = ops.MatchTemplate(enrolled[s]->templ.data(), p.templ.data(), 1, &score);
      if (s == p.subject) {
        ++genuine;
        genuineMatched += index == 0;
        worstGenuine = std::max(worstGenuine, score);
      } else {
        ++impostor;
        falseMatches += index != -1;
        bestImpostor = std::min(bestImpostor, score);
      }
    }
  std::printf(
      "%s: genuine %d of %d matched (worst score %.4f); impostor pairs %d, "
      "false matches %d (best score %.4f)\n",
      kKindNames[kind], genuineMatched, genuine, worstGenuine, impostor, falseMatches,
      bestImpostor);
  ASSERT_GE(genuine, kSubjects);  // enough accepted probes to judge
  EXPECT_GE(100.0 * genuineMatched / genuine, 99.0);
  EXPECT_EQ(falseMatches, 0);
  EXPECT_GT(impostor, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Distances, ::testing::Values(KindSmall, KindBig, KindQ5),
                         [](const auto& info) { return std::string(kKindNames[info.param]); });

}  // namespace
}  // namespace ocuvant::engine::blackbox
