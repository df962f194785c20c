// MatchTemplate and BuildEnrollTemplate speed. Prints templates per second (13 rotations
// each) for databases of 1 000 to 1 000 000 templates, on 1, 2 and all threads of the
// machine, with each population-count path forced (paths the processor lacks are skipped).
//   bench_matcher --benchmark_filter='MatchTemplate/n:1000000'
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "engine/common/match_runner.h"
#include "engine/common/shift_counts.h"
#include "engine/common/template_matcher.h"
#include "session/match_pool.h"

namespace {

using namespace ocuvant::engine;

// Mask bits set with probability 3/4, fair code bits (whole random words: quick to build).
const std::vector<uint8_t>& RandomTemplates(size_t count, uint32_t seed) {
  static std::map<std::pair<size_t, uint32_t>, std::vector<uint8_t>> cache;
  std::vector<uint8_t>& bytes = cache[{count, seed}];
  if (!bytes.empty()) return bytes;
  std::mt19937 rng(seed);
  bytes.resize(count * kTemplateBytes);
  for (size_t t = 0; t < count; ++t)
    for (size_t i = 0; i < kTemplateBytes; i += 4) {
      uint32_t w = rng();
      if (i < 2 * kPlaneBytes) w |= rng();
      for (size_t b = 0; b < 4; ++b) bytes[t * kTemplateBytes + i + b] = uint8_t(w >> (8 * b));
    }
  return bytes;
}

const MatchParams& ParamsOf(int64_t kind) {
  return kind == KindSmall ? kSmallMatchParams : kind == KindBig ? kBigMatchParams : kQ5MatchParams;
}

int32_t AllThreads() {
  const auto h = static_cast<int32_t>(std::thread::hardware_concurrency());
  return h > 0 ? h : 1;
}

// Args: n, threads (0 = all of the machine), path (CountPath), kind.
void BM_MatchTemplate(benchmark::State& st) {
  const auto n = static_cast<int32_t>(st.range(0));
  const int32_t threads = st.range(1) == 0 ? AllThreads() : static_cast<int32_t>(st.range(1));
  const auto path = static_cast<CountPath>(st.range(2));
  const MatchParams& params = ParamsOf(st.range(3));
  if (!ForceCountPath(path)) {
    st.SkipWithError("path not available on this processor");
    return;
  }
  const std::vector<uint8_t>& db = RandomTemplates(static_cast<size_t>(n), 1);
  const std::vector<uint8_t>& probe = RandomTemplates(1, 2);
  auto state = std::make_unique<MatcherState>();
  InitMatcher(*state, params);
  std::unique_ptr<ocuvant::session::PoolMatchRunner> runner;
  if (threads > 1) runner = std::make_unique<ocuvant::session::PoolMatchRunner>(threads);
  SetMatchRunner(runner.get(), 1);  // every size split: the threshold is what this measures
  float score = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(MatchTemplate(*state, params, db.data(), probe.data(), n, &score));
    benchmark::DoNotOptimize(score);
  }
  SetMatchRunner(nullptr, 0);
  ResetCountPath();
  st.SetLabel(std::string(CountPathName(path)) + " threads=" + std::to_string(threads));
  st.counters["templates/s"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}

constexpr int64_t kPortable = static_cast<int64_t>(CountPath::Portable);
constexpr int64_t kPopcnt = static_cast<int64_t>(CountPath::Popcnt);
constexpr int64_t kAvx2 = static_cast<int64_t>(CountPath::Avx2);
constexpr int64_t kAvx512 = static_cast<int64_t>(CountPath::Avx512);

BENCHMARK(BM_MatchTemplate)
    ->ArgNames({"n", "threads", "path", "kind"})
    ->ArgsProduct({{1000, 10000, 100000, 1000000}, {1, 2, 0}, {kPopcnt, kAvx2, kAvx512}, {KindBig}})
    ->ArgsProduct({{100000}, {1}, {kPortable}, {KindBig}})
    ->Args({100000, 1, kAvx512, KindSmall})
    ->Args({100000, 1, kAvx512, KindQ5})
    ->UseRealTime();

// Where splitting starts to pay: the same sizes on one and on two threads.
BENCHMARK(BM_MatchTemplate)
    ->Name("Threshold")
    ->ArgNames({"n", "threads", "path", "kind"})
    ->ArgsProduct({{256, 512, 1024, 2048, 4096, 8192, 16384}, {1, 2}, {kAvx512, kAvx2}, {KindBig}})
    ->UseRealTime();

void BM_BuildEnrollTemplate(benchmark::State& st) {
  const MatchParams& params = ParamsOf(st.range(0));
  const std::vector<uint8_t>& t = RandomTemplates(3, 3);
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
