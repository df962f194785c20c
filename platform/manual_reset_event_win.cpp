#include <windows.h>

#include "platform/thread.h"

namespace ocuvant::platform {

struct ManualResetEvent::Impl {
  HANDLE event;
};

ManualResetEvent::ManualResetEvent(bool initiallySet) : impl_(std::make_unique<Impl>()) {
  impl_->event = CreateEventW(nullptr, TRUE, initiallySet ? TRUE : FALSE, nullptr);
}

ManualResetEvent::~ManualResetEvent() {
  if (impl_->event != nullptr) CloseHandle(impl_->event);
}

void ManualResetEvent::Set() {
  SetEvent(impl_->event);
}

void ManualResetEvent::Reset() {
  ResetEvent(impl_->event);
}

bool ManualResetEvent::IsSet() const {
  return WaitForSingleObject(impl_->event, 0) == WAIT_OBJECT_0;
}

bool ManualResetEvent::Wait(uint32_t ms) {
  return WaitForSingleObject(impl_->event, ms) == WAIT_OBJECT_0;
}

}  // namespace ocuvant::platform
