// The worker threads MatchTemplate spreads large databases over (engine/common/match_runner.h).
#pragma once

#include <cstdint>
#include <memory>

#include "engine/common/match_runner.h"
#include "platform/worker_pool.h"

namespace ocuvant::session {

// At most this many threads unless the environment variable "OCUVANT_MATCH_THREADS" says
// otherwise (1 keeps every scan on the calling thread).
inline constexpr int32_t kDefaultMatchThreads = 8;
// Smaller databases are scanned on the calling thread: below this, waking the workers
// costs about what they save (bench_matcher Threshold: on 2 cores 2 048 templates are
// scanned 1.3 to 1.5 times faster split, 1 024 not at all).
inline constexpr int32_t kMatchPoolMinTemplates = 2048;

// A WorkerPool seen through the engine's seam.
class PoolMatchRunner final : public engine::MatchRunner {
 public:
  explicit PoolMatchRunner(int32_t threads) : pool_(threads) {}
  int32_t Threads() const override { return pool_.Threads(); }
  void Run(void (*work)(void*), void* context) override { pool_.Run(work, context); }

 private:
  platform::WorkerPool pool_;
};

// Threads for a pool on this machine: the hardware threads, at most `maxThreads` (or the
// environment's "OCUVANT_MATCH_THREADS" when set to a positive number), at least 1.
int32_t MatchPoolSize(int32_t maxThreads);

// Creates the process's match pool on the first call (later calls keep it) and hands it to
// the engines; returns its thread count. Called when the engines are initialised.
int32_t StartMatchPool(int32_t maxThreads = kDefaultMatchThreads);

// Takes the pool from the engines and joins its threads; the next StartMatchPool makes a
// new one. Only while no scan runs: a module calls it when its last object is gone and
// before it is unloaded.
void StopMatchPool();
bool MatchPoolRunning();

}  // namespace ocuvant::session
