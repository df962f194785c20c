// Every output of the Process operations on 300 rendered eyes per kind (accepted and
// rejected: enrollment and match mode, defocused, closed and missing eyes) hashed against
// the stored values: result codes, quality scores, locations, templates, crops and the eye
// images the engines modify in place. Faster engine code must leave every byte as it was.
// After a deliberate change of the arithmetic, regenerate with
//   OCUVANT_UPDATE_GOLDEN=1 test_engine_golden
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/common/engine_ops.h"
#include "simulator/render/eye_renderer.h"

namespace ocuvant::engine::blackbox {
namespace {

uint64_t Fnv1a(const void* data, size_t n, uint64_t h) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

struct Case {
  int subject, capture;
  bool match;
  sim::EyeVariant variant;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (int s = 1; s <= 30; ++s) {
    for (int c = 1; c <= 4; ++c) cases.push_back({s, c, false, sim::EyeVariant::Normal});
    for (int c = 1; c <= 3; ++c) cases.push_back({s, c, true, sim::EyeVariant::Normal});
    cases.push_back({s, 5, false, sim::EyeVariant::Defocused});
    cases.push_back({s, 6, true, sim::EyeVariant::Closed});
    cases.push_back({s, 7, false, sim::EyeVariant::NoEye});
  }
  return cases;
}

// "kind hash accepted/total" for the kind's cases.
std::string Digest(TemplateKind kind) {
  const EngineOps& ops = Engine(kind);
  ops.InitEngine();
  if (kind == KindQ5) {
    ops.SetEnrollQuality(60, 35, 50, 0, 0);
    ops.SetMatchQuality(50, 33, 50, 0, 0);
  } else {
    ops.SetEnrollQuality(60, 35, 50, 60, 30);
    ops.SetMatchQuality(50, 30, 50, 50, 30);
  }
  const int w = kEyeWidth[kind], h = kEyeHeight[kind], side = kCropSide[kind];
  std::vector<uint8_t> eye(static_cast<size_t>(w) * h), crop(static_cast<size_t>(side) * side);
  uint8_t templ[kTemplateBytes];
  uint64_t hash = 1469598103934665603ull;
  int accepted = 0;
  const std::vector<Case> cases = Cases();
  for (const Case& c : cases) {
    sim::CaptureParams params =
        sim::GoodCapture(w, h, static_cast<uint64_t>(c.subject) * 1000 + c.capture);
    params.variant = c.variant;
    sim::RenderEye(sim::Subject(static_cast<uint64_t>(c.subject)), c.subject & 1, params,
                   eye.data(), w, h);
    const int32_t code = c.match
                             ? ops.ProcessMatchImage(eye.data(), templ, crop.data(), 0, w, 0, h)
                             : ops.ProcessEnrollImage(eye.data(), templ, crop.data(), 0, w, 0, h);
    int32_t quality[6] = {};
    ops.GetQualityScores(quality);
    hash = Fnv1a(&code, sizeof code, hash);
    hash = Fnv1a(quality, sizeof(int32_t) * static_cast<size_t>(kQualityCount[kind]), hash);
    hash = Fnv1a(eye.data(), eye.size(), hash);
    if (code == 1) {
      ++accepted;
      int32_t location[4] = {};
      if (ops.GetLocationResult != nullptr)
        ops.GetLocationResult(&location[0], &location[1], &location[2], &location[3]);
      hash = Fnv1a(location, sizeof location, hash);
      hash = Fnv1a(templ, sizeof templ, hash);
      hash = Fnv1a(crop.data(), crop.size(), hash);
    }
  }
  char line[96];
  std::snprintf(line, sizeof line, "%s %016llx %d/%zu", kKindNames[kind],
                static_cast<unsigned long long>(hash), accepted, cases.size());
  return line;
}

TEST(ProcessGolden, EveryOutputOf300RenderedEyesPerKind) {
  const std::string path = std::string(OCUVANT_TEST_DATA) + "/engine_blackbox/golden_process.txt";
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
