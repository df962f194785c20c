// Threads, manual-reset events, critical sections, ticks and sleeping.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace ocuvant::platform {

// 32-bit millisecond tick count; time-outs are unsigned differences of ticks.
uint32_t GetTickCount();
inline uint32_t TicksSince(uint32_t start) {
  return GetTickCount() - start;
}
void Sleep(uint32_t ms);

// A started thread; Join waits for it (the destructor joins if still joinable).
// Wait bounds the wait for the body to finish; Detach then lets it run on alone.
// A body that throws ends its thread with one line on stderr. When the system
// cannot start a thread, Joinable() is false right after construction.
class Thread {
 public:
  Thread();
  explicit Thread(std::function<void()> body);
  ~Thread();
  Thread(Thread&&) noexcept;
  Thread& operator=(Thread&&) noexcept;
  bool Joinable() const;
  void Join();
  // True when the body finished within `ms` milliseconds (also after Detach).
  bool Wait(uint32_t ms);
  void Detach();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Starts a detached worker thread (the control's short-lived session threads);
// false when the system could not start it.
bool StartDetachedThread(std::function<void()> body);

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySet = false);
  ~ManualResetEvent();
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;
  void Set();
  void Reset();
  bool IsSet() const;
  // True when the event was set within `ms` milliseconds.
  bool Wait(uint32_t ms);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Recursive lock, as a Win32 critical section.
class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter();
  bool TryEnter();
  void Leave();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class Lock {
 public:
  explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~Lock() { cs_.Leave(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& cs_;
};

}  // namespace ocuvant::platform
