#include "session/match_pool.h"

#include <cstdlib>
#include <mutex>
#include <thread>

namespace ocuvant::session {

namespace {

// Detaches the pool from the engines before its threads stop.
struct ProcessPool {
  explicit ProcessPool(int32_t threads) : runner(threads) {
    engine::SetMatchRunner(&runner, kMatchPoolMinTemplates);
  }
  ~ProcessPool() { engine::SetMatchRunner(nullptr, 0); }
  PoolMatchRunner runner;
};

// Not a static object: its destructor would join the threads while a module that is
// being unloaded runs its static destructors (on Windows under the loader lock, where
// threads cannot end). A pool still running at process exit ends with the process.
std::mutex g_poolLock;
ProcessPool* g_pool = nullptr;

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
  const std::lock_guard<std::mutex> lock(g_poolLock);
  if (g_pool == nullptr) g_pool = new ProcessPool(MatchPoolSize(maxThreads));
  return g_pool->runner.Threads();
}

void StopMatchPool() {
  const std::lock_guard<std::mutex> lock(g_poolLock);
  delete g_pool;
  g_pool = nullptr;
}

bool MatchPoolRunning() {
  const std::lock_guard<std::mutex> lock(g_poolLock);
  return g_pool != nullptr;
}

}  // namespace ocuvant::session
