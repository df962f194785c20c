#include <chrono>
#include <thread>

#include "platform/thread.h"

namespace ocuvant::platform {

// Milliseconds of the monotonic clock, wrapping every 2^32 ms (about 49.7 days).
uint32_t GetTickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace ocuvant::platform
