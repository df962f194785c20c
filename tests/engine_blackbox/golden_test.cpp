// Golden hashes of the templates of rendered eyes: any change of an engine's arithmetic
// (or of the renderer) shows here. After a deliberate change, regenerate with
//   OCUVANT_UPDATE_GOLDEN=1 test_engine_blackbox --gtest_filter='Golden*'
// and review the diff of tests/data/engine_blackbox/golden_templates.txt.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/engine_blackbox/rendered_eyes.h"

namespace ocuvant::engine::blackbox {
namespace {

uint64_t Fnv1a(const uint8_t* p, size_t n, uint64_t h = 1469598103934665603ull) {
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

// One line per kind: the hash of the codes, locations and templates of 12 rendered images.
std::string Digest(TemplateKind kind) {
  uint64_t h = Fnv1a(nullptr, 0);
  for (int subject = 1; subject <= 4; ++subject)
    for (int capture = 1; capture <= 3; ++capture) {
      const ProcessedEye e = RenderAndProcess(kind, subject, capture, false);
      h = Fnv1a(reinterpret_cast<const uint8_t*>(&e.code), sizeof e.code, h);
      h = Fnv1a(reinterpret_cast<const uint8_t*>(e.location.data()), sizeof e.location, h);
      if (e.code == 1) h = Fnv1a(e.templ.data(), e.templ.size(), h);
    }
  char line[64];
  std::snprintf(line, sizeof line, "%s %016llx", kKindNames[kind],
                static_cast<unsigned long long>(h));
  return line;
}

TEST(Golden, TemplatesOfRenderedEyes) {
  const std::string path = std::string(OCUVANT_TEST_DATA) + "/engine_blackbox/golden_templates.txt";
  std::string actual;
  for (TemplateKind kind : {KindSmall, KindBig, KindQ5}) actual += Digest(kind) + "\n";
  if (std::getenv("OCUVANT_UPDATE_GOLDEN")) {
    std::ofstream(path) << actual;
    GTEST_SKIP() << "golden hashes written to " << path;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << "missing " << path << " (run with OCUVANT_UPDATE_GOLDEN=1)";
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(actual, expected.str());
}

}  // namespace
}  // namespace ocuvant::engine::blackbox
