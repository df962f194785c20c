#include "session/match_pool.h"

#include <cstdlib>
#include <thread>

namespace ocuvant::session {

namespace {

// Detaches the pool from the engines before its threads stop at process exit.
struct ProcessPool {
  explicit ProcessPool(int32_t threads) : runner(threads) {
    engine::SetMatchRunner(&runner, kMatchPoolMinTemplates);
  }
  ~ProcessPool() { engine::SetMatchRunner(nullptr, 0); }
  PoolMatchRunner runner;
};

}  // namespace

int32_t MatchPoolSize(int32_t maxThreads) {
  if (const char* env = std::getenv("OCUVANT_MATCH_THREADS")) {
    const long v = std::strtol(env, nullptr, 10);
    if (v > 0 && v <= 1024) maxThreads = static_cast<int32_t>(v);
  }
  const auto hardware = static_cast<int32_t>(std::thread::hardware_concurrency());
  int32_t threads = hardware > 0 ? hardware : 1;
  if (threads > maxThreads) threads = maxThreads;
  return threads < 1 ? 1 : threads;
}

int32_t StartMatchPool(int32_t maxThreads) {
  static ProcessPool pool(MatchPoolSize(maxThreads));
  return pool.runner.Threads();
}

}  // namespace ocuvant::session
