// MatchTemplate and BuildEnrollTemplate speed. Prints templates per second (13 rotations
// each) for databases of 1 to 100 000 templates.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engine/common/template_matcher.h"

namespace {

using namespace ocuvant::engine;

std::vector<uint8_t> RandomTemplates(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution usable(0.75);
  std::vector<uint8_t> bytes(count * kTemplateBytes);
  for (size_t t = 0; t < count; ++t) {
    uint8_t* p = bytes.data() + t * kTemplateBytes;
    for (size_t i = 0; i < 2 * kPlaneBytes; ++i)
      for (int b = 0; b < 8; ++b)
        if (usable(rng)) p[i] |= static_cast<uint8_t>(1u << b);
    for (size_t i = 2 * kPlaneBytes; i < kTemplateBytes; ++i) p[i] = static_cast<uint8_t>(rng());
  }
  return bytes;
}

const MatchParams& ParamsOf(int64_t kind) {
  return kind == KindSmall ? kSmallMatchParams : kind == KindBig ? kBigMatchParams : kQ5MatchParams;
}

void BM_MatchTemplate(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const MatchParams& params = ParamsOf(st.range(1));
  const std::vector<uint8_t> db = RandomTemplates(static_cast<size_t>(n), 1);
  const std::vector<uint8_t> probe = RandomTemplates(1, 2);
  auto state = std::make_unique<MatcherState>();
  InitMatcher(*state, params);
  float score = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(MatchTemplate(*state, params, db.data(), probe.data(), n, &score));
    benchmark::DoNotOptimize(score);
  }
  st.SetItemsProcessed(st.iterations() * n);
  st.counters["templates/s"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MatchTemplate)
    ->ArgNames({"n", "kind"})
    ->ArgsProduct({{1, 100, 1000, 10000, 100000}, {KindBig}})
    ->Args({100000, KindSmall})
    ->Args({100000, KindQ5});

void BM_BuildEnrollTemplate(benchmark::State& st) {
  const MatchParams& params = ParamsOf(st.range(0));
  const std::vector<uint8_t> t = RandomTemplates(3, 3);
  auto state = std::make_unique<MatcherState>();
  InitMatcher(*state, params);
  int32_t score = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(
        BuildEnrollTemplate(*state, params, t.data(), t.data() + 512, t.data() + 1024, &score));
  }
}
BENCHMARK(BM_BuildEnrollTemplate)->ArgName("kind")->DenseRange(0, 2);

}  // namespace
