#include "platform/thread.h"

#include <cstdio>
#include <exception>
#include <system_error>
#include <thread>

namespace ocuvant::platform {

namespace {

void RunBody(const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ocuvant: thread ended by an exception: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "ocuvant: thread ended by an exception\n");
  }
}

}  // namespace

struct Thread::Impl {
  std::shared_ptr<ManualResetEvent> finished = std::make_shared<ManualResetEvent>();
  std::thread thread;
};

Thread::Thread() = default;

Thread::Thread(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
  try {
    impl_->thread = std::thread([finished = impl_->finished, body = std::move(body)] {
      RunBody(body);
      finished->Set();
    });
  } catch (const std::system_error&) {
    impl_.reset();
  }
}

Thread::~Thread() {
  if (Joinable()) Join();
}

Thread::Thread(Thread&&) noexcept = default;

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    if (Joinable()) Join();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

bool Thread::Joinable() const {
  return impl_ && impl_->thread.joinable();
}

void Thread::Join() {
  if (Joinable()) impl_->thread.join();
}

bool Thread::Wait(uint32_t ms) {
  return !impl_ || impl_->finished->Wait(ms);
}

void Thread::Detach() {
  if (Joinable()) impl_->thread.detach();
}

bool StartDetachedThread(std::function<void()> body) {
  try {
    std::thread([body = std::move(body)] { RunBody(body); }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace ocuvant::platform
