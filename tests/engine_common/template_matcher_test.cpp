// Matcher: rotations, score precision, thresholds, tie rules, and agreement with a
// scalar reference on random databases.
#include "engine/common/template_matcher.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <memory>

#include "engine/common/shift_counts.h"
#include "tests/engine_common/template_fixtures.h"

namespace ocuvant::engine {
namespace {

using testing::Flatten;
using testing::RandomTemplate;
using testing::RotateBlocks;
using testing::Template;

struct MatcherTest : ::testing::Test {
  std::unique_ptr<MatcherState> state = std::make_unique<MatcherState>();
  std::mt19937 rng{12345};
};

TEST(BitCountTables, CountEveryValue) {
  static_assert(BitCount8[0] == 0 && BitCount8[255] == 8 && BitCount8[0xa5] == 4);
  constexpr auto t16 = MakeBitCountTable<16>();
  for (uint32_t v = 0; v < 65536; ++v) ASSERT_EQ(t16[v], std::popcount(v)) << v;
  for (uint32_t v = 0; v < 256; ++v) ASSERT_EQ(BitCount8[v], std::popcount(v)) << v;
}

TEST_F(MatcherTest, RotatedCopiesShiftEveryPlaneCyclically) {
  Template probe{};
  for (size_t i = 0; i < kTemplateBytes; ++i) probe[i] = static_cast<uint8_t>(i * 7 + i / 128);
  RotateProbe(*state, probe.data());
  for (int c = 0; c < kShiftCount; ++c) {
    const int d = c - 6;
    for (int plane = 0; plane < 4; ++plane)
      for (int j = 0; j < 128; ++j)
        ASSERT_EQ(state->rotated[c][plane * 128 + j],
                  probe[plane * 128 + ((j + d) % 128 + 128) % 128])
            << "shift " << d << " plane " << plane << " byte " << j;
  }
}

TEST_F(MatcherTest, EyeTurnedByKBlocksIsFoundAtShiftK) {
  const Template stored = RandomTemplate(rng, 0.8);
  float self;
  ASSERT_TRUE(CompareScore(*state, kBigMatchParams, stored.data(), stored.data(), &self));
  for (int k = -6; k <= 6; ++k) {
    const Template probe = RotateBlocks(stored, k);
    float score;
    EXPECT_EQ(MatchTemplate(*state, kBigMatchParams, stored.data(), probe.data(), 1, &score), 0);
    EXPECT_EQ(state->best.shift, k);
    EXPECT_EQ(state->best.differingBits, 0u);
    EXPECT_EQ(score, self) << k;
  }
  // Seven blocks is beyond the search: no shift lines the planes up again.
  const Template far = RotateBlocks(stored, 7);
  float score;
  EXPECT_EQ(MatchTemplate(*state, kBigMatchParams, stored.data(), far.data(), 1, &score), -1);
  EXPECT_GT(score, 0.4f);
}

TEST_F(MatcherTest, EmptyDatabaseNeverMatches) {
  const Template probe = RandomTemplate(rng, 0.8);
  float score = 0;
  EXPECT_EQ(MatchTemplate(*state, kSmallMatchParams, nullptr, probe.data(), 0, &score), -1);
  EXPECT_EQ(score, 1.0f);
  EXPECT_EQ(MatchTemplate(*state, kQ5MatchParams, probe.data(), probe.data(), -3, &score), -1);
  EXPECT_EQ(score, 1.0f);
}

// Stored mask: all of mask plane 0. Probe mask plane 0: `bits` bits (any rotation keeps the
// count), so every shift has exactly `bits` common bits; codes equal (h = 0).
Template WithCommonBits(int bits, bool probe) {
  Template t{};
  for (int i = 0; i < 128; ++i) t[i] = probe ? 0 : 0xff;
  for (int i = 0; i < bits; ++i) t[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  return t;
}

TEST_F(MatcherTest, FewerThanNminCommonBitsGiveNoScore) {
  for (const MatchParams* p : {&kSmallMatchParams, &kBigMatchParams, &kQ5MatchParams}) {
    const int nmin = static_cast<int>(p->minCommonBits);
    const Template stored = WithCommonBits(0, false);
    const Template below = WithCommonBits(nmin - 1, true);
    const Template at = WithCommonBits(nmin, true);
    float score;
    EXPECT_EQ(MatchTemplate(*state, *p, stored.data(), below.data(), 1, &score), -1);
    EXPECT_EQ(score, 1.0f);
    EXPECT_EQ(PairwiseCompare(*state, *p, stored.data(), below.data()), 1.0f);
    EXPECT_EQ(MatchTemplate(*state, *p, stored.data(), at.data(), 1, &score), 0);
    EXPECT_EQ(state->best.commonBits, p->minCommonBits);
    const float expected =
        static_cast<float>(0.5L - 0.5L * std::sqrt(static_cast<long double>(nmin) * p->normaliser));
    EXPECT_EQ(score, expected);
  }
}

TEST_F(MatcherTest, SelfCompareFallsBelowZeroAbove918Bits) {
  for (int bits : {600, 918, 919, 1024}) {
    const Template stored = WithCommonBits(0, false);
    const Template probe = WithCommonBits(bits, true);
    float s;
    ASSERT_TRUE(CompareScore(*state, kBigMatchParams, stored.data(), probe.data(), &s));
    const long double root = std::sqrt(bits * static_cast<long double>(1.0f / 918.0f));
    EXPECT_EQ(s, static_cast<float>(0.5L - 0.5L * root)) << bits;
    if (bits > 918) {
      EXPECT_LT(s, 0.0f);
    }
    if (bits < 918) {
      EXPECT_GT(s, 0.0f);
    }
  }
  // 918 bits: k is the float just below 1/918, so s stays a hair above zero (a double k
  // would give about 0 and a float product could round either way).
  const Template probe = WithCommonBits(918, true);
  float s;
  CompareScore(*state, kBigMatchParams, WithCommonBits(0, false).data(), probe.data(), &s);
  EXPECT_GT(s, 0.0f);
  EXPECT_LT(s, 1e-8f);
}

TEST_F(MatcherTest, TiesKeepLowestIndexThenShiftNearestMinusSix) {
  // Constant bytes in every plane: all 13 shifts score alike.
  Template flat{};
  for (size_t i = 0; i < kTemplateBytes; ++i) flat[i] = i < 256 ? 0xff : 0x5a;
  Template probe = flat;
  for (size_t i = 256; i < kTemplateBytes; ++i) probe[i] = 0x5b;  // one differing bit a byte
  const std::vector<uint8_t> db = Flatten({RandomTemplate(rng, 0.1), flat, flat, flat});
  float score;
  EXPECT_EQ(MatchTemplate(*state, kBigMatchParams, db.data(), probe.data(), 4, &score), 1);
  EXPECT_EQ(state->best.shift, -6);
  EXPECT_EQ(state->best.commonBits, 2048u);
  EXPECT_EQ(state->best.differingBits, 256u);
  EXPECT_EQ(state->best.distance, 0.125f);
}

TEST_F(MatcherTest, ThresholdFallsWithDatabaseSize) {
  EXPECT_EQ(MatchThreshold(kBigMatchParams, 1), 0.303f);
  EXPECT_EQ(MatchThreshold(kSmallMatchParams, 10), 0.293f);
  EXPECT_EQ(MatchThreshold(kBigMatchParams, 100), 0.283f);
  EXPECT_EQ(MatchThreshold(kBigMatchParams, 1000), 0.273f);
  EXPECT_EQ(MatchThreshold(kQ5MatchParams, 1), 0.333f);
  EXPECT_EQ(MatchThreshold(kQ5MatchParams, 100000), 0.283f);

  // A pair scoring about 0.29: 918 common bits (root ~ 1), 266 of them differ.
  Template stored{};
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t i = 256; i < kTemplateBytes; ++i) stored[i] = static_cast<uint8_t>(byte(rng));
  for (int i = 0; i < 918; ++i) stored[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  Template probe = stored;
  for (int i = 0; i < 256; ++i) probe[i] = 0xff;
  testing::FlipCommonCodeBits(probe, stored, 266);
  float s;
  ASSERT_TRUE(CompareScore(*state, kBigMatchParams, stored.data(), probe.data(), &s));
  ASSERT_GT(s, 0.283f);
  ASSERT_LT(s, 0.293f);

  // The rest of the database has no usable bits.
  std::vector<Template> db(100, Template{});
  db[0] = stored;
  const std::vector<uint8_t> bytes = Flatten(db);
  float score;
  EXPECT_EQ(MatchTemplate(*state, kBigMatchParams, bytes.data(), probe.data(), 10, &score), 0);
  EXPECT_EQ(score, s);
  EXPECT_EQ(MatchTemplate(*state, kBigMatchParams, bytes.data(), probe.data(), 100, &score), -1);
  EXPECT_EQ(score, s);
}

TEST_F(MatcherTest, AgreesWithScalarReferenceOnRandomDatabases) {
  for (const MatchParams* p : {&kSmallMatchParams, &kBigMatchParams, &kQ5MatchParams}) {
    for (int round = 0; round < 4; ++round) {
      const Template probe = RandomTemplate(rng, 0.75);
      std::vector<Template> db;
      for (int i = 0; i < 60; ++i) db.push_back(RandomTemplate(rng, i % 3 == 0 ? 0.4 : 0.75));
      // A few noisy copies of the probe, turned by a few blocks.
      for (int k : {-5, 2, 6}) {
        Template near = RotateBlocks(probe, -k);
        testing::FlipCommonCodeBits(near, near, 150 + 40 * round);
        db.insert(db.begin() + 10 * (k + 6) % 50, near);
      }
      const std::vector<uint8_t> bytes = Flatten(db);
      const testing::RefResult ref = testing::RefMatch(*p, db, probe);
      float score;
      const int32_t index = MatchTemplate(*state, *p, bytes.data(), probe.data(),
                                          static_cast<int32_t>(db.size()), &score);
      EXPECT_EQ(score, ref.score);
      EXPECT_EQ(state->best.index, ref.index);
      EXPECT_EQ(state->best.shift, ref.shift);
      EXPECT_EQ(state->best.commonBits, ref.common);
      EXPECT_EQ(state->best.differingBits, ref.differing);
      EXPECT_EQ(index,
                ref.score < MatchThreshold(*p, static_cast<uint32_t>(db.size())) ? ref.index : -1);
      // Every score of every shift, not only the best.
      for (size_t i = 0; i < db.size(); i += 7) {
        RotateProbe(*state, probe.data());
        BitCounts fast[kShiftCount], portable[kShiftCount];
        CountShifts(db[i].data(), state->rotated, fast);
        CountShiftsPortable(db[i].data(), state->rotated, portable);
        for (int c = 0; c < kShiftCount; ++c) {
          float sRef, sFast;
          uint32_t n, d;
          const bool has = testing::RefScore(*p, db[i].data(), probe.data(), c - 6, &sRef, &n, &d);
          ASSERT_EQ(fast[c].common, n);
          ASSERT_EQ(fast[c].differing, d);
          ASSERT_EQ(portable[c].common, n);
          ASSERT_EQ(portable[c].differing, d);
          ASSERT_EQ(ScoreFromCounts(*state, *p, fast[c], &sFast), has);
          if (has) {
            ASSERT_EQ(sFast, sRef);
          }
        }
      }
    }
  }
}

TEST(TextureThreshold, ConvertsTheUsersSetting) {
  const std::pair<uint32_t, int32_t> cases[] = {{0, 0},  {30, 1}, {35, 1}, {50, 2},
                                                {60, 2}, {70, 3}, {80, 4}, {90, 6}};
  for (auto [t, expected] : cases) EXPECT_EQ(TextureThreshold(t, 2), expected) << t;
  EXPECT_EQ(TextureThreshold(50, 16), 16);
  EXPECT_EQ(TextureThreshold(90, 16), 48);
  // Settings the formula cannot take behave as the strictest one it can.
  EXPECT_EQ(TextureThreshold(100, 2), TextureThreshold(99, 2));
  EXPECT_EQ(TextureThreshold(static_cast<uint32_t>(-5), 2), 20);
}

}  // namespace
}  // namespace ocuvant::engine
