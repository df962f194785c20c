#include <windows.h>

#include "platform/thread.h"

namespace ocuvant::platform {

struct CriticalSection::Impl {
  CRITICAL_SECTION cs;
};

CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {
  InitializeCriticalSection(&impl_->cs);
}
CriticalSection::~CriticalSection() {
  DeleteCriticalSection(&impl_->cs);
}
void CriticalSection::Enter() {
  EnterCriticalSection(&impl_->cs);
}
bool CriticalSection::TryEnter() {
  return TryEnterCriticalSection(&impl_->cs) != 0;
}
void CriticalSection::Leave() {
  LeaveCriticalSection(&impl_->cs);
}

}  // namespace ocuvant::platform
