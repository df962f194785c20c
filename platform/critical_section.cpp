#include <mutex>

#include "platform/thread.h"

namespace ocuvant::platform {

struct CriticalSection::Impl {
  std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() {
  impl_->mutex.lock();
}
bool CriticalSection::TryEnter() {
  return impl_->mutex.try_lock();
}
void CriticalSection::Leave() {
  impl_->mutex.unlock();
}

}  // namespace ocuvant::platform
