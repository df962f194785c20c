#include <windows.h>

#include "platform/thread.h"

namespace ocuvant::platform {

uint32_t GetTickCount() {
  return ::GetTickCount();
}

void Sleep(uint32_t ms) {
  ::Sleep(ms);
}

}  // namespace ocuvant::platform
