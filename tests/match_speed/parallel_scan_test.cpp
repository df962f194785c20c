// MatchTemplate split over a worker pool against the single-thread scan: identical index,
// score and best record, ties placed across chunk boundaries, sizes that do not split
// evenly, a busy pool, and two callers at once.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "engine/common/match_runner.h"
#include "session/match_pool.h"
#include "tests/engine_common/template_fixtures.h"

namespace ocuvant::engine {
namespace {

using testing::RandomTemplate;
using testing::Template;

struct Result {
  int32_t index;
  float score;
  BestMatch best;
};

Result Match(MatcherState& state, const MatchParams& params, const std::vector<uint8_t>& db,
             const Template& probe) {
  Result r{};
  r.index = MatchTemplate(state, params, db.data(), probe.data(),
                          static_cast<int32_t>(db.size() / kTemplateBytes), &r.score);
  r.best = state.best;
  return r;
}

void ExpectSame(const Result& got, const Result& want, const char* what) {
  EXPECT_EQ(got.index, want.index) << what;
  EXPECT_EQ(got.score, want.score) << what;
  EXPECT_EQ(got.best.index, want.best.index) << what;
  EXPECT_EQ(got.best.shift, want.best.shift) << what;
  EXPECT_EQ(got.best.commonBits, want.best.commonBits) << what;
  EXPECT_EQ(got.best.differingBits, want.best.differingBits) << what;
  EXPECT_EQ(got.best.distance, want.best.distance) << what;
}

// Installs a runner for one test and takes it away again.
struct RunnerScope {
  RunnerScope(MatchRunner* runner, int32_t minTemplates) { SetMatchRunner(runner, minTemplates); }
  ~RunnerScope() { SetMatchRunner(nullptr, 0); }
};

// A runner that counts its calls and runs the work on the caller only, as a busy pool does.
struct CallerOnlyRunner final : MatchRunner {
  int32_t Threads() const override { return 4; }
  void Run(void (*work)(void*), void* context) override {
    ++runs;
    work(context);
  }
  int runs = 0;
};

// Constant planes: all 13 shifts of this probe against `flat` score alike.
Template Flat(uint8_t code) {
  Template t{};
  for (size_t i = 0; i < kTemplateBytes; ++i) t[i] = i < 256 ? 0xff : code;
  return t;
}

// Random template from whole random words (fast for large databases): mask bits set with
// probability 3/4 (dense) or 1/8 (sparse), fair code bits.
Template QuickTemplate(std::mt19937& rng, bool sparse) {
  Template t;
  for (size_t i = 0; i < kTemplateBytes; i += 4) {
    uint32_t w = rng();
    if (i < 256) w = sparse ? w & rng() & rng() : w | rng();
    for (size_t b = 0; b < 4; ++b) t[i + b] = static_cast<uint8_t>(w >> (8 * b));
  }
  return t;
}

// A database of n templates: random ones with sparse and dense masks, duplicates and near
// copies of the probe, and copies of `tie` (every shift alike) at the given positions.
std::vector<uint8_t> Database(std::mt19937& rng, int32_t n, const Template& probe,
                              const Template& tie, const std::vector<int32_t>& tiePositions) {
  std::vector<Template> db;
  db.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    if (i % 97 == 5) {
      Template near = testing::RotateBlocks(probe, i % 13 - 6);
      testing::FlipCommonCodeBits(near, near, 300 + i % 200);
      db.push_back(near);
    } else if (i % 211 == 7 && i > 0) {
      db.push_back(db[static_cast<size_t>(i) - 1]);  // duplicate of its neighbour
    } else {
      db.push_back(QuickTemplate(rng, i % 5 == 0));
    }
  }
  for (int32_t p : tiePositions)
    if (p < n) db[static_cast<size_t>(p)] = tie;
  return testing::Flatten(db);
}

TEST(ParallelScan, SameResultAsOneThreadForEverySizeAndThreadCount) {
  std::mt19937 rng(2024);
  auto state = std::make_unique<MatcherState>();
  const Template probe = Flat(0x5b);
  const Template tie = Flat(0x5a);  // one differing bit a byte at every shift
  for (int32_t n : {1, 2, 3, 511, 512, 513, 1023, 1025, 2049, 4097, 9999, 131073}) {
    // Chunks are 512 templates here (n / 256 is smaller up to 131072): the ties straddle
    // chunk boundaries, the earliest must win.
    const std::vector<int32_t> ties = {n - 1, 1024, 1023, 512, 511, n / 2};
    const std::vector<uint8_t> db = Database(rng, n, probe, tie, ties);
    for (const MatchParams* params : {&kBigMatchParams, &kQ5MatchParams}) {
      const Result want = Match(*state, *params, db, probe);
      for (int32_t threads : {2, 3, 4}) {
        session::PoolMatchRunner runner(threads);
        RunnerScope scope(&runner, 1);
        ExpectSame(Match(*state, *params, db, probe), want, "pool");
      }
    }
  }
}

TEST(ParallelScan, TiesAcrossChunkBoundariesKeepTheEarliestTemplateAndShift) {
  std::mt19937 rng(5);
  auto state = std::make_unique<MatcherState>();
  const Template probe = Flat(0x5b);
  const Template tie = Flat(0x5a);
  const int32_t n = 100000;  // chunks of 512
  const std::vector<uint8_t> db = Database(rng, n, probe, tie, {99999, 51200, 1024, 1023});
  session::PoolMatchRunner runner(2);
  RunnerScope scope(&runner, 1);
  const Result r = Match(*state, kBigMatchParams, db, probe);
  EXPECT_EQ(r.best.index, 1023);
  EXPECT_EQ(r.best.shift, -6);
  EXPECT_EQ(r.best.differingBits, 256u);
}

TEST(ParallelScan, AllShiftTiesAndDuplicatesEverywhere) {
  // Every template the same: the first template and shift -6 win on every split.
  auto state = std::make_unique<MatcherState>();
  const Template probe = Flat(0x5b);
  const std::vector<Template> same(3000, Flat(0x5a));
  const std::vector<uint8_t> db = testing::Flatten(same);
  session::PoolMatchRunner runner(3);
  RunnerScope scope(&runner, 1);
  const Result r = Match(*state, kSmallMatchParams, db, probe);
  EXPECT_EQ(r.best.index, 0);
  EXPECT_EQ(r.best.shift, -6);
  EXPECT_EQ(r.index, 0);
}

TEST(ParallelScan, SmallDatabasesStayOnTheCallingThreadAndBusyRunnersStillScanAll) {
  std::mt19937 rng(11);
  auto state = std::make_unique<MatcherState>();
  const Template probe = RandomTemplate(rng, 0.75);
  const std::vector<uint8_t> db = Database(rng, 5000, probe, Flat(0), {});
  const Result want = Match(*state, kBigMatchParams, db, probe);
  CallerOnlyRunner runner;
  {
    RunnerScope scope(&runner, 5001);
    ExpectSame(Match(*state, kBigMatchParams, db, probe), want, "below the threshold");
    EXPECT_EQ(runner.runs, 0);
  }
  {
    RunnerScope scope(&runner, 5000);
    ExpectSame(Match(*state, kBigMatchParams, db, probe), want, "caller only");
    EXPECT_EQ(runner.runs, 1);
  }
}

TEST(ParallelScan, TwoCallersShareOnePool) {
  // While one caller holds the pool the other scans on its own thread: both exact.
  std::mt19937 rng(13);
  const Template probeA = RandomTemplate(rng, 0.75), probeB = RandomTemplate(rng, 0.6);
  const std::vector<uint8_t> db = Database(rng, 6000, probeA, Flat(0), {});
  auto a = std::make_unique<MatcherState>(), b = std::make_unique<MatcherState>();
  const Result wantA = Match(*a, kBigMatchParams, db, probeA);
  const Result wantB = Match(*b, kQ5MatchParams, db, probeB);
  session::PoolMatchRunner runner(2);
  RunnerScope scope(&runner, 1);
  std::atomic<int> mismatches{0};
  std::thread other([&] {
    for (int i = 0; i < 20; ++i) {
      const Result r = Match(*b, kQ5MatchParams, db, probeB);
      if (r.index != wantB.index || r.score != wantB.score || r.best.shift != wantB.best.shift)
        ++mismatches;
    }
  });
  for (int i = 0; i < 20; ++i) ExpectSame(Match(*a, kBigMatchParams, db, probeA), wantA, "A");
  other.join();
  EXPECT_EQ(mismatches.load(), 0);
}

// The process's pool: started once, handed to the engines, stopped (its threads joined,
// the engines back on the calling thread) and started again, with the same results.
TEST(MatchPool, ProcessPoolStopsAndStartsAgain) {
  std::mt19937 rng(77);
  auto state = std::make_unique<MatcherState>();
  const Template probe = Flat(0x5b);
  const std::vector<uint8_t> db =
      Database(rng, 3 * session::kMatchPoolMinTemplates, probe, Flat(0x5a), {100, 5000});
  const Result want = Match(*state, kBigMatchParams, db, probe);
  for (int round = 0; round < 2; ++round) {
    const int32_t threads = session::StartMatchPool(3);
    EXPECT_EQ(session::StartMatchPool(3), threads);  // later calls keep it
    EXPECT_TRUE(session::MatchPoolRunning());
    EXPECT_NE(CurrentMatchRunner(), nullptr);
    ExpectSame(Match(*state, kBigMatchParams, db, probe), want, "process pool");
    session::StopMatchPool();
    EXPECT_FALSE(session::MatchPoolRunning());
    EXPECT_EQ(CurrentMatchRunner(), nullptr);
    ExpectSame(Match(*state, kBigMatchParams, db, probe), want, "after the stop");
  }
  session::StopMatchPool();  // stopping a stopped pool does nothing
  EXPECT_FALSE(session::MatchPoolRunning());
}

TEST(MatchPool, SizeFollowsTheMachineAndTheLimit) {
  const auto hardware = static_cast<int32_t>(std::thread::hardware_concurrency());
  EXPECT_EQ(session::MatchPoolSize(1), 1);
  EXPECT_EQ(session::MatchPoolSize(1000), hardware > 0 ? hardware : 1);
  EXPECT_GE(session::MatchPoolSize(0), 1);
  platform::WorkerPool pool(3);
  std::atomic<int> calls{0};
  pool.Run([](void* c) { static_cast<std::atomic<int>*>(c)->fetch_add(1); }, &calls);
  EXPECT_EQ(calls.load(), pool.Threads());
}

}  // namespace
}  // namespace ocuvant::engine
