#include "platform/worker_pool.h"

#include <system_error>

namespace ocuvant::platform {

WorkerPool::WorkerPool(int32_t threads) {
  const int32_t workers = threads > 1 ? threads - 1 : 0;
  workers_.reserve(static_cast<size_t>(workers));
  for (int32_t i = 0; i < workers; ++i) {
    try {
      workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      break;  // run with the workers already started
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void WorkerPool::WorkerLoop() {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    void (*work)(void*) = work_;
    void* context = context_;
    guard.unlock();
    work(context);
    guard.lock();
    if (--pending_ == 0) done_.notify_one();
  }
}

void WorkerPool::Run(void (*work)(void* context), void* context) {
  if (workers_.empty() || !runLock_.try_lock()) {
    work(context);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    work_ = work;
    context_ = context;
    pending_ = static_cast<int32_t>(workers_.size());
    ++generation_;
  }
  wake_.notify_all();
  work(context);
  {
    std::unique_lock<std::mutex> guard(lock_);
    done_.wait(guard, [&] { return pending_ == 0; });
  }
  runLock_.unlock();
}

}  // namespace ocuvant::platform
