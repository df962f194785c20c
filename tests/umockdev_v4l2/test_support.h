// What the umockdev camera tests share: the fake camera (installed once by main), a
// bounded wait and a recorder of the frames and log lines the capture layer hands out.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_hooks.h"
#include "fake_v4l2_camera.h"

namespace ocuvant::capture::testing {

extern FakeV4l2Camera g_camera;

inline bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Records frames (a copy of the first one) and log lines.
class Recorder {
 public:
  Recorder() {
    hooks_.context = this;
    hooks_.onFrame = [](void* c, const uint8_t* data, long length, FrameRoute) {
      auto* self = static_cast<Recorder*>(c);
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (self->first_.empty()) self->first_.assign(data, data + length);
      self->frames_++;
    };
    hooks_.logIfEnabled = [](void* c, const char* text, const char* tag) {
      auto* self = static_cast<Recorder*>(c);
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->logs_.push_back(std::string(tag) + "|" + text);
    };
    hooks_.logAlways = hooks_.logIfEnabled;
    hooks_.cameraLost = [](void* c, const char*) { static_cast<Recorder*>(c)->lost_ = true; };
    InstallCaptureHooks(&hooks_);
  }
  ~Recorder() { InstallCaptureHooks(nullptr); }
  int Frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  std::vector<uint8_t> First() {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_;
  }
  bool HasLog(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& l : logs_) {
      if (l == line || l.rfind(line, 0) == 0) return true;
    }
    return false;
  }
  std::atomic<bool> lost_{false};

 private:
  CaptureHooks hooks_;
  std::mutex mutex_;
  int frames_ = 0;
  std::vector<uint8_t> first_;
  std::vector<std::string> logs_;
};

}  // namespace ocuvant::capture::testing
