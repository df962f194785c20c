// The control's window on Windows: a real message-only window owned by the thread that
// made it (the host's thread). Post is PostMessageW, Send from another thread is
// SendMessageW (the owner handles it in its message loop, whoever runs that loop: the
// host's own GetMessage loop or Pump); from the owner thread Send calls the handler.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <mutex>

#include "platform/window.h"

namespace ocuvant::platform {

struct WindowQueue {
  explicit WindowQueue(MessageHandler h) : handler(std::move(h)), owner(GetCurrentThreadId()) {}

  const MessageHandler handler;
  const DWORD owner;
  std::mutex mutex;
  HWND hwnd = nullptr;
  bool quit = false;
  bool destroyed = false;
};

namespace {

constexpr wchar_t kClassName[] = L"OcuvantControlWindow";

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* q = reinterpret_cast<WindowQueue*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (q == nullptr || msg < WM_USER) return DefWindowProcW(hwnd, msg, wParam, lParam);
  {
    std::lock_guard lock(q->mutex);
    if (q->destroyed) return 0;
  }
  // No exception may unwind through the system's dispatch frames.
  try {
    return static_cast<LRESULT>(q->handler(msg, wParam, lParam));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ocuvant: window message 0x%x ended by an exception: %s\n", msg, e.what());
  } catch (...) {
    std::fprintf(stderr, "ocuvant: window message 0x%x ended by an exception\n", msg);
  }
  return 0;
}

ATOM RegisterClassOnce() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ControlWindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

HWND WindowOf(WindowQueue* q) {
  if (q == nullptr) return nullptr;
  std::lock_guard lock(q->mutex);
  return q->destroyed ? nullptr : q->hwnd;
}

bool PostTo(WindowQueue* q, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const HWND hwnd = WindowOf(q);
  return hwnd != nullptr && PostMessageW(hwnd, msg, wParam, lParam) != 0;
}

intptr_t SendTo(WindowQueue* q, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const HWND hwnd = WindowOf(q);
  if (hwnd == nullptr) return 0;
  if (q->owner == GetCurrentThreadId()) return q->handler(msg, wParam, lParam);
  // A window destroyed meanwhile makes SendMessageW return 0.
  return static_cast<intptr_t>(SendMessageW(hwnd, msg, wParam, lParam));
}

}  // namespace

bool WindowHandle::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) const {
  return PostTo(queue_.get(), msg, wParam, lParam);
}

intptr_t WindowHandle::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) const {
  return SendTo(queue_.get(), msg, wParam, lParam);
}

bool WindowHandle::IsWindow() const {
  return WindowOf(queue_.get()) != nullptr;
}

Window::Window(MessageHandler handler) : queue_(std::make_shared<WindowQueue>(std::move(handler))) {
  RegisterClassOnce();
  const HWND hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ThisModule(), nullptr);
  if (hwnd != nullptr) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(queue_.get()));
  }
  std::lock_guard lock(queue_->mutex);
  queue_->hwnd = hwnd;
  queue_->destroyed = hwnd == nullptr;
}

Window::~Window() {
  HWND hwnd;
  {
    std::lock_guard lock(queue_->mutex);
    hwnd = queue_->hwnd;
    queue_->destroyed = true;
  }
  if (hwnd != nullptr) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
  }
}

bool Window::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return PostTo(queue_.get(), msg, wParam, lParam);
}

intptr_t Window::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  std::shared_ptr<WindowQueue> q = queue_;
  return SendTo(q.get(), msg, wParam, lParam);
}

bool Window::IsOwnerThread() const {
  return queue_->owner == GetCurrentThreadId();
}

void Window::PostQuit() {
  HWND hwnd;
  {
    std::lock_guard lock(queue_->mutex);
    queue_->quit = true;
    hwnd = queue_->destroyed ? nullptr : queue_->hwnd;
  }
  // Wakes a Pump waiting on the owner thread.
  if (hwnd != nullptr) PostMessageW(hwnd, WM_NULL, 0, 0);
}

bool Window::Pump(uint32_t ms) {
  std::shared_ptr<WindowQueue> q = queue_;
  const auto stopped = [&] {
    std::lock_guard lock(q->mutex);
    return q->quit || q->destroyed;
  };
  if (q->owner != GetCurrentThreadId()) return !stopped();
  const DWORD start = ::GetTickCount();
  // With no time to spend, handle what is queued now, not an endless stream of reposts.
  int budget = ms == 0 ? 1000 : -1;
  for (;;) {
    if (stopped()) return false;
    MSG m;
    if (budget != 0 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));  // leave it for the host's own loop
        return false;
      }
      TranslateMessage(&m);
      DispatchMessageW(&m);
      if (budget > 0) --budget;
      continue;
    }
    const DWORD spent = ::GetTickCount() - start;
    if (ms == 0 || spent >= ms) return true;
    const DWORD left = ms == 0xFFFFFFFFu ? INFINITE : ms - spent;
    MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void Window::RunUntilQuit() {
  while (Pump(0xFFFFFFFFu)) {
  }
}

}  // namespace ocuvant::platform
