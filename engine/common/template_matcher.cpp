// Template comparison and database matching over the 13 rotations of the probe.
#include "engine/common/template_matcher.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "engine/common/match_runner.h"
#include "engine/common/shift_counts.h"

namespace ocuvant::engine {

void InitMatcher(MatcherState& state, const MatchParams& params) {
  const long double k = params.normaliser;
  for (int n = 0; n <= kMaxCommonBits; ++n) {
    state.root[n] = std::sqrt(static_cast<long double>(n) * k);
    state.rootApprox[n] = std::sqrt(static_cast<double>(n) * static_cast<double>(k));
  }
  state.rootNormaliser = params.normaliser;
}

namespace {

void EnsureRoots(MatcherState& state, const MatchParams& params) {
  if (state.rootNormaliser != params.normaliser) InitMatcher(state, params);
}

// Keeps (index, shift) if its s is strictly below the best so far.
inline void Consider(const MatcherState& state, const MatchParams& params, BitCounts counts,
                     int32_t index, int32_t shift, BestMatch& best) {
  float s;
  if (!ScoreFromCounts(state, params, counts, &s) || !(s < best.score)) return;
  best.index = index;
  best.score = s;
  best.distance = static_cast<float>(counts.differing) / static_cast<float>(counts.common);
  best.commonBits = counts.common;
  best.differingBits = counts.differing;
  best.shift = shift;
}

void ResetBest(MatcherState& state) {
  state.best = BestMatch{};
}

// Best over the shifts of the rotated probe against one stored template.
inline void ScanTemplate(const MatcherState& state, const MatchParams& params,
                         const uint8_t* stored, int32_t index, BestMatch& best) {
  BitCounts counts[kShiftCount];
  CountShifts(stored, state.rotated, counts);
  // The exact score (a float division and extended-precision arithmetic) is worked out only
  // for shifts that pass MayBeat; the others cannot be strictly below the best.
  const double limit = 0.5 - (static_cast<double>(best.score) + kMayBeatMargin);
  for (int d = 0; d < kShiftCount; ++d) {
    if (!MayBeatLimit(state, counts[d], limit)) continue;
    Consider(state, params, counts[d], index, d + kShiftMin, best);
  }
}

// A large database split into chunks that the runner's threads claim in turn; each chunk
// keeps its own best, and the chunks are merged in database order.
constexpr int32_t kMaxChunks = 256;
constexpr int32_t kMinChunkTemplates = 512;

struct ParallelScan {
  const MatcherState* state;
  const MatchParams* params;
  const uint8_t* database;
  int32_t n;
  int32_t chunkTemplates;
  int32_t chunks;
  std::atomic<int32_t> next{0};
  BestMatch results[kMaxChunks];
};

void ScanChunks(void* context) {
  ParallelScan& job = *static_cast<ParallelScan*>(context);
  for (;;) {
    const int32_t c = job.next.fetch_add(1, std::memory_order_relaxed);
    if (c >= job.chunks) return;
    const int64_t begin = int64_t{c} * job.chunkTemplates;
    const auto end = static_cast<int32_t>(std::min<int64_t>(job.n, begin + job.chunkTemplates));
    BestMatch best;
    ScanRange(*job.state, *job.params, job.database, static_cast<int32_t>(begin), end, best);
    job.results[c] = best;
  }
}

std::atomic<MatchRunner*> g_runner{nullptr};
std::atomic<int32_t> g_runnerMinTemplates{0};

// The single-thread scan of 0..n-1 as ordered chunks: within a chunk ties keep the earliest
// (index, shift); across chunks a later one wins only when strictly better, so the merge
// keeps the earliest as well.
void ScanParallel(MatcherState& state, const MatchParams& params, const uint8_t* database,
                  int32_t n, MatchRunner& runner) {
  ParallelScan job;
  job.state = &state;
  job.params = &params;
  job.database = database;
  job.n = n;
  job.chunkTemplates = std::max(kMinChunkTemplates,
                                static_cast<int32_t>((int64_t{n} + kMaxChunks - 1) / kMaxChunks));
  job.chunks = static_cast<int32_t>((int64_t{n} + job.chunkTemplates - 1) / job.chunkTemplates);
  runner.Run(ScanChunks, &job);
  // Chunks no thread reached (a runner that ran fewer calls) are scanned here.
  ScanChunks(&job);
  for (int32_t c = 0; c < job.chunks; ++c)
    if (job.results[c].score < state.best.score) state.best = job.results[c];
}

}  // namespace

void RotateProbe(MatcherState& state, const uint8_t* probe) {
  for (int c = 0; c < kShiftCount; ++c) {
    const int d = c + kShiftMin;
    const int head = (d + static_cast<int>(kPlaneBytes)) % static_cast<int>(kPlaneBytes);
    for (size_t plane = 0; plane < kTemplateBytes; plane += kPlaneBytes) {
      // byte j of the copy = probe byte (j + d) mod 128: the plane read from `head` on.
      const uint8_t* src = probe + plane;
      uint8_t* dst = state.rotated[c] + plane;
      std::memcpy(dst, src + head, kPlaneBytes - head);
      std::memcpy(dst + (kPlaneBytes - head), src, head);
    }
  }
}

BitCounts CountBits(const uint8_t* a, const uint8_t* b) {
  BitCounts counts;
  for (size_t w = 0; w < 2 * kPlaneBytes; w += 8) {
    uint64_t ma, mb, ca, cb;
    std::memcpy(&ma, a + w, 8);
    std::memcpy(&mb, b + w, 8);
    std::memcpy(&ca, a + 2 * kPlaneBytes + w, 8);
    std::memcpy(&cb, b + 2 * kPlaneBytes + w, 8);
    const uint64_t m = ma & mb;
    counts.common += static_cast<uint32_t>(std::popcount(m));
    counts.differing += static_cast<uint32_t>(std::popcount((ca ^ cb) & m));
  }
  return counts;
}

bool ScoreFromCounts(const MatcherState& state, const MatchParams& params, BitCounts counts,
                     float* score) {
  if (counts.common < params.minCommonBits || counts.common > kMaxCommonBits) return false;
  // D/N correctly rounded to float: both are exact in float.
  const float h = static_cast<float>(counts.differing) / static_cast<float>(counts.common);
  const long double s = 0.5L - (0.5L - static_cast<long double>(h)) * state.root[counts.common];
  *score = static_cast<float>(s);
  return true;
}

bool CompareScore(MatcherState& state, const MatchParams& params, const uint8_t* a,
                  const uint8_t* b, float* score) {
  EnsureRoots(state, params);
  return ScoreFromCounts(state, params, CountBits(a, b), score);
}

float MatchThreshold(const MatchParams& params, uint32_t n) {
  const long double theta =
      static_cast<long double>(params.thetaBase) -
      static_cast<long double>(0.01) * std::log10(static_cast<long double>(n));
  return static_cast<float>(theta);
}

int32_t MatchTemplate(MatcherState& state, const MatchParams& params, const uint8_t* database,
                      const uint8_t* probe, int32_t n, float* score) {
  EnsureRoots(state, params);
  ResetBest(state);
  RotateProbe(state, probe);
  MatchRunner* runner = g_runner.load(std::memory_order_acquire);
  if (runner != nullptr && runner->Threads() > 1 &&
      n >= g_runnerMinTemplates.load(std::memory_order_relaxed))
    ScanParallel(state, params, database, n, *runner);
  else
    ScanRange(state, params, database, 0, n, state.best);
  *score = state.best.score;
  if (n <= 0) return -1;
  const float theta = MatchThreshold(params, static_cast<uint32_t>(n));
  return state.best.score < theta ? state.best.index : -1;
}

float PairwiseCompare(MatcherState& state, const MatchParams& params, const uint8_t* a,
                      const uint8_t* b) {
  EnsureRoots(state, params);
  ResetBest(state);
  RotateProbe(state, b);
  ScanTemplate(state, params, a, 0, state.best);
  return state.best.score;
}

void ScanRange(const MatcherState& state, const MatchParams& params, const uint8_t* database,
               int32_t begin, int32_t end, BestMatch& best) {
  for (int32_t i = begin; i < end; ++i)
    ScanTemplate(state, params, database + kTemplateBytes * static_cast<size_t>(i), i, best);
}

void SetMatchRunner(MatchRunner* runner, int32_t minTemplates) {
  g_runnerMinTemplates.store(minTemplates, std::memory_order_relaxed);
  g_runner.store(runner, std::memory_order_release);
}

MatchRunner* CurrentMatchRunner() {
  return g_runner.load(std::memory_order_acquire);
}

int32_t MatchRunnerMinTemplates() {
  return g_runnerMinTemplates.load(std::memory_order_relaxed);
}

}  // namespace ocuvant::engine
