// The control's window: a message queue owned by the host's thread.
// Post queues; Send from another thread queues and blocks until the owner thread
// handled it; Send from the owner thread calls the handler directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace ocuvant::platform {

using MessageHandler = std::function<intptr_t(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

class Window {
 public:
  // The calling thread becomes the owner (the host's thread).
  explicit Window(MessageHandler handler);
  ~Window();  // releases blocked senders (their Send returns 0)
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  bool Post(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  intptr_t Send(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  bool IsOwnerThread() const;

  // Message loop on the owner thread. Pump handles messages for at most `ms`
  // milliseconds (0: only those already queued); returns false once quit was posted.
  bool Pump(uint32_t ms);
  void RunUntilQuit();
  void PostQuit();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ocuvant::platform
