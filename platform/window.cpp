#include "platform/window.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

namespace ocuvant::platform {

namespace {

struct PostedMessage {
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
};

// Lives on the sender's stack while the sender waits for `done`.
struct SentMessage {
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
  intptr_t result = 0;
  bool done = false;
};

}  // namespace

// Shared by the window and its handles, so that a handle or a blocked sender
// outliving the window sees `destroyed` instead of freed memory.
struct WindowQueue {
  explicit WindowQueue(MessageHandler h)
      : handler(std::move(h)), owner(std::this_thread::get_id()) {}

  const MessageHandler handler;
  const std::thread::id owner;
  std::mutex mutex;
  std::condition_variable arrived;   // the owner: a message, quit or destruction
  std::condition_variable answered;  // senders: their message was handled or dropped
  std::deque<PostedMessage> posted;
  std::deque<SentMessage*> sent;
  bool quit = false;
  bool destroyed = false;
};

namespace {

bool PostTo(WindowQueue* q, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (q == nullptr) return false;
  std::lock_guard lock(q->mutex);
  if (q->destroyed) return false;
  q->posted.push_back({msg, wParam, lParam});
  q->arrived.notify_one();
  return true;
}

intptr_t SendTo(WindowQueue* q, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (q == nullptr) return 0;
  if (q->owner == std::this_thread::get_id()) {
    {
      std::lock_guard lock(q->mutex);
      if (q->destroyed) return 0;
    }
    return q->handler(msg, wParam, lParam);
  }
  SentMessage m{msg, wParam, lParam};
  std::unique_lock lock(q->mutex);
  if (q->destroyed) return 0;
  q->sent.push_back(&m);
  q->arrived.notify_one();
  q->answered.wait(lock, [&] { return m.done; });
  return m.result;
}

// Answers a sent message even when its handler throws, so the sender never hangs.
class Answer {
 public:
  Answer(WindowQueue& q, SentMessage* m) : q_(q), m_(m) {}
  ~Answer() {
    std::lock_guard lock(q_.mutex);
    m_->result = result_;
    m_->done = true;
    q_.answered.notify_all();
  }
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;
  void Set(intptr_t result) { result_ = result; }

 private:
  WindowQueue& q_;
  SentMessage* m_;
  intptr_t result_ = 0;
};

}  // namespace

bool WindowHandle::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) const {
  return PostTo(queue_.get(), msg, wParam, lParam);
}

intptr_t WindowHandle::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) const {
  return SendTo(queue_.get(), msg, wParam, lParam);
}

bool WindowHandle::IsWindow() const {
  if (!queue_) return false;
  std::lock_guard lock(queue_->mutex);
  return !queue_->destroyed;
}

Window::Window(MessageHandler handler)
    : queue_(std::make_shared<WindowQueue>(std::move(handler))) {}

Window::~Window() {
  std::lock_guard lock(queue_->mutex);
  queue_->destroyed = true;
  for (SentMessage* m : queue_->sent) {
    m->result = 0;
    m->done = true;
  }
  queue_->sent.clear();
  queue_->posted.clear();
  queue_->answered.notify_all();
  queue_->arrived.notify_all();
}

bool Window::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return PostTo(queue_.get(), msg, wParam, lParam);
}

intptr_t Window::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  // A local reference keeps the queue alive if a handler destroys the window.
  std::shared_ptr<WindowQueue> q = queue_;
  return SendTo(q.get(), msg, wParam, lParam);
}

bool Window::IsOwnerThread() const {
  return queue_->owner == std::this_thread::get_id();
}

void Window::PostQuit() {
  std::lock_guard lock(queue_->mutex);
  queue_->quit = true;
  queue_->arrived.notify_all();
}

bool Window::Pump(uint32_t ms) {
  // Handlers may destroy the window: from here on only `q` is used, never `this`.
  std::shared_ptr<WindowQueue> q = queue_;
  std::unique_lock lock(q->mutex);
  if (q->owner != std::this_thread::get_id()) return !q->quit && !q->destroyed;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  // With no time to spend, handle what is queued now, not what handlers post meanwhile.
  size_t postedBudget = ms == 0 ? q->posted.size() : std::numeric_limits<size_t>::max();
  for (;;) {
    if (q->quit || q->destroyed) return false;
    bool handled = false;
    if (!q->sent.empty()) {
      SentMessage* m = q->sent.front();
      q->sent.pop_front();
      lock.unlock();
      {
        Answer answer(*q, m);
        answer.Set(q->handler(m->msg, m->wParam, m->lParam));
      }
      lock.lock();
      handled = true;
    } else if (!q->posted.empty() && postedBudget > 0) {
      const PostedMessage p = q->posted.front();
      q->posted.pop_front();
      --postedBudget;
      lock.unlock();
      q->handler(p.msg, p.wParam, p.lParam);
      lock.lock();
      handled = true;
    }
    if (handled) {
      if (ms > 0 && std::chrono::steady_clock::now() >= deadline) return !q->quit && !q->destroyed;
      continue;
    }
    if (ms == 0 || std::chrono::steady_clock::now() >= deadline) return true;
    q->arrived.wait_until(lock, deadline);
  }
}

void Window::RunUntilQuit() {
  while (Pump(std::numeric_limits<uint32_t>::max())) {
  }
}

}  // namespace ocuvant::platform
