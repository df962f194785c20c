// The control's window: a message queue owned by the host's thread.
// Post queues; Send from another thread queues and blocks until the owner thread
// handled it; Send from the owner thread calls the handler directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace ocuvant::platform {

using MessageHandler = std::function<intptr_t(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

struct WindowQueue;

// A copyable reference to a window for worker threads. Once the window is
// destroyed, Post returns false and Send returns 0 at once; a default-constructed
// handle behaves like a destroyed window.
class WindowHandle {
 public:
  WindowHandle() = default;
  bool Post(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0) const;
  intptr_t Send(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0) const;
  bool IsWindow() const;

 private:
  friend class Window;
  explicit WindowHandle(std::shared_ptr<WindowQueue> queue) : queue_(std::move(queue)) {}
  std::shared_ptr<WindowQueue> queue_;
};

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
  WindowHandle Handle() const { return WindowHandle(queue_); }

  // Message loop on the owner thread. Pump handles messages for at most `ms`
  // milliseconds (0: only those already queued); sent messages go before posted
  // ones. Returns false once quit was posted (then it handles nothing more; the
  // quit stays posted). Called on another thread it handles nothing.
  bool Pump(uint32_t ms);
  void RunUntilQuit();
  void PostQuit();  // any thread

 private:
  std::shared_ptr<WindowQueue> queue_;
};

}  // namespace ocuvant::platform
