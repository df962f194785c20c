// A fixed set of worker threads that run one piece of work together with the caller.
// Threads are started once, in the constructor; Run neither allocates nor starts threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace ocuvant::platform {

class WorkerPool {
 public:
  // `threads` counts the calling thread: threads - 1 workers are started (fewer when the
  // system refuses more; Threads() tells how many run).
  explicit WorkerPool(int32_t threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int32_t Threads() const { return static_cast<int32_t>(workers_.size()) + 1; }

  // Calls work(context) once on every worker and once on the calling thread and returns
  // when all calls have returned (what they wrote is then visible to the caller). While
  // another caller's Run is in progress, the call runs on the calling thread only.
  void Run(void (*work)(void* context), void* context);

 private:
  void WorkerLoop();

  std::vector<std::thread> workers_;
  std::mutex runLock_;  // one Run at a time
  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable done_;
  void (*work_)(void*) = nullptr;
  void* context_ = nullptr;
  uint64_t generation_ = 0;
  int32_t pending_ = 0;
  bool stop_ = false;
};

}  // namespace ocuvant::platform
