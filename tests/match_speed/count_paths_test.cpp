// Every population-count path of the matcher against the portable one, on random and
// adversarial templates, and MatchTemplate with each path forced against the reference.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "engine/common/shift_counts.h"
#include "tests/engine_common/template_fixtures.h"

namespace ocuvant::engine {
namespace {

using testing::RandomTemplate;
using testing::Template;

// Restores the processor's best path when a test ends.
struct ForcedPath {
  ~ForcedPath() { ResetCountPath(); }
};

// Patterns that catch lane, nibble and sign-bit mistakes: bytes with bit 7 set (vpshufb
// zeroes those lanes unless the index is masked), full planes (the largest byte sums),
// single bits at vector and plane edges, complementary codes (D = N).
std::vector<Template> AdversarialTemplates(std::mt19937& rng) {
  std::vector<Template> out;
  for (uint8_t v : {0x00, 0xff, 0x80, 0x7f, 0xf0, 0x0f, 0x8f, 0xaa, 0x55, 0x01}) {
    Template t;
    t.fill(v);
    out.push_back(t);
    for (size_t i = 256; i < kTemplateBytes; ++i) t[i] = static_cast<uint8_t>(~v);
    out.push_back(t);
  }
  for (size_t pos : {0u, 31u, 32u, 63u, 64u, 127u, 128u, 191u, 255u}) {
    Template t{};
    t[pos] = 0x80;
    t[pos + 256] = 0x80;
    out.push_back(t);
    Template full;
    full.fill(0xff);
    full[pos] = 0x7f;
    full[pos + 256] = 0x00;
    out.push_back(full);
  }
  for (double density : {0.02, 0.4, 0.75, 0.98}) out.push_back(RandomTemplate(rng, density));
  return out;
}

TEST(CountPaths, PortableIsAlwaysThereAndTheBestIsActive) {
  EXPECT_TRUE(CountPathAvailable(CountPath::Portable));
  EXPECT_TRUE(CountPathAvailable(ActiveCountPath()));
  for (CountPath p : kCountPaths) {
    if (CountPathAvailable(p)) {
      EXPECT_GE(static_cast<int>(ActiveCountPath()), static_cast<int>(p));
    }
  }
  ForcedPath restore;
  EXPECT_TRUE(ForceCountPath(CountPath::Portable));
  EXPECT_EQ(ActiveCountPath(), CountPath::Portable);
}

TEST(CountPaths, EveryPathCountsLikeThePortableOne) {
  std::mt19937 rng(7);
  const std::vector<Template> patterns = AdversarialTemplates(rng);
  std::vector<Template> stored = patterns, probes = patterns;
  for (int i = 0; i < 40; ++i) {
    stored.push_back(RandomTemplate(rng, i % 2 ? 0.75 : 0.3));
    probes.push_back(RandomTemplate(rng, i % 3 ? 0.75 : 0.95));
  }
  auto state = std::make_unique<MatcherState>();
  int compared = 0;
  for (const Template& probe : probes) {
    RotateProbe(*state, probe.data());
    for (const Template& a : stored) {
      BitCounts want[kShiftCount];
      CountShiftsPortable(a.data(), state->rotated, want);
      for (CountPath p : kCountPaths) {
        if (!CountPathAvailable(p)) continue;
        BitCounts got[kShiftCount];
        CountShiftsWith(p, a.data(), state->rotated, got);
        for (int c = 0; c < kShiftCount; ++c) {
          ASSERT_EQ(got[c].common, want[c].common) << CountPathName(p) << " shift " << c;
          ASSERT_EQ(got[c].differing, want[c].differing) << CountPathName(p) << " shift " << c;
        }
        ++compared;
      }
    }
  }
  EXPECT_GE(compared, static_cast<int>(stored.size() * probes.size()));
}

TEST(CountPaths, MatchTemplateGivesTheReferenceResultOnEveryPath) {
  std::mt19937 rng(99);
  const Template probe = RandomTemplate(rng, 0.75);
  std::vector<Template> db = AdversarialTemplates(rng);
  for (int i = 0; i < 80; ++i) db.push_back(RandomTemplate(rng, i % 4 ? 0.75 : 0.2));
  for (int k : {-6, -1, 3, 6}) {
    Template near = testing::RotateBlocks(probe, -k);
    testing::FlipCommonCodeBits(near, near, 200 + 30 * k);
    db.insert(db.begin() + 9 * (k + 6), near);
  }
  db.push_back(probe);  // the same eye twice: the first copy must win
  db.insert(db.begin() + 40, probe);
  const std::vector<uint8_t> bytes = testing::Flatten(db);
  auto state = std::make_unique<MatcherState>();
  ForcedPath restore;
  for (const MatchParams* params : {&kSmallMatchParams, &kBigMatchParams, &kQ5MatchParams}) {
    const testing::RefResult ref = testing::RefMatch(*params, db, probe);
    ASSERT_EQ(ref.index, 40);
    for (CountPath p : kCountPaths) {
      if (!ForceCountPath(p)) continue;
      float score;
      const int32_t index = MatchTemplate(*state, *params, bytes.data(), probe.data(),
                                          static_cast<int32_t>(db.size()), &score);
      EXPECT_EQ(index, ref.index) << CountPathName(p);
      EXPECT_EQ(score, ref.score) << CountPathName(p);
      EXPECT_EQ(state->best.shift, ref.shift) << CountPathName(p);
      EXPECT_EQ(state->best.commonBits, ref.common) << CountPathName(p);
      EXPECT_EQ(state->best.differingBits, ref.differing) << CountPathName(p);
    }
  }
}

}  // namespace
}  // namespace ocuvant::engine
