#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/thread.h"

namespace ocuvant::platform {

struct ManualResetEvent::Impl {
  mutable std::mutex mutex;
  std::condition_variable changed;
  bool set = false;
};

ManualResetEvent::ManualResetEvent(bool initiallySet) : impl_(std::make_unique<Impl>()) {
  impl_->set = initiallySet;
}

ManualResetEvent::~ManualResetEvent() = default;

void ManualResetEvent::Set() {
  std::lock_guard lock(impl_->mutex);
  impl_->set = true;
  impl_->changed.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard lock(impl_->mutex);
  impl_->set = false;
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->set;
}

bool ManualResetEvent::Wait(uint32_t ms) {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return impl_->set; });
}

}  // namespace ocuvant::platform
