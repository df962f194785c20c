// Capture hooks that record what the capture layer tells the control.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_hooks.h"

namespace ocuvant::capture::testing {

class RecordingHooks {
 public:
  struct LogLine {
    std::string text, tag;
    bool always;
  };
  struct Photo {
    int32_t kind;
    std::string path;
  };

  RecordingHooks() {
    hooks_.context = this;
    hooks_.onFrame = [](void* c, const uint8_t* data, long length, FrameRoute route) {
      auto* self = static_cast<RecordingHooks*>(c);
      self->frames.fetch_add(1);
      self->lastLength.store(length);
      self->lastRoute.store(route);
      if (self->frameHandler) self->frameHandler(data, length, route);
    };
    hooks_.logIfEnabled = [](void* c, const char* text, const char* tag) {
      static_cast<RecordingHooks*>(c)->AddLog(text, tag, false);
    };
    hooks_.logAlways = [](void* c, const char* text, const char* tag) {
      static_cast<RecordingHooks*>(c)->AddLog(text, tag, true);
    };
    hooks_.photoCaptured = [](void* c, int32_t kind, const char* path) {
      auto* self = static_cast<RecordingHooks*>(c);
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->photos_.push_back({kind, path});
    };
    hooks_.cameraLost = [](void* c, const char*) {
      static_cast<RecordingHooks*>(c)->lost.fetch_add(1);
    };
    InstallCaptureHooks(&hooks_);
  }
  ~RecordingHooks() { InstallCaptureHooks(nullptr); }

  std::vector<LogLine> Logs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return logs_;
  }
  bool HasLog(const std::string& text, const std::string& tag) {
    for (const LogLine& l : Logs()) {
      if (l.text == text && l.tag == tag) return true;
    }
    return false;
  }
  std::vector<Photo> Photos() {
    std::lock_guard<std::mutex> lock(mutex_);
    return photos_;
  }

  // Waits (bounded) until `condition` holds.
  static bool WaitFor(const std::function<bool()>& condition, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  std::atomic<int> frames{0};
  std::atomic<long> lastLength{0};
  std::atomic<FrameRoute> lastRoute{SnapshotOnly};
  std::atomic<int> lost{0};
  // Runs inside OnFrame on the streaming thread; set before the session runs.
  std::function<void(const uint8_t*, long, FrameRoute)> frameHandler;

 private:
  void AddLog(const char* text, const char* tag, bool always) {
    std::lock_guard<std::mutex> lock(mutex_);
    logs_.push_back({text, tag, always});
  }

  CaptureHooks hooks_;
  std::mutex mutex_;
  std::vector<LogLine> logs_;
  std::vector<Photo> photos_;
};

}  // namespace ocuvant::capture::testing
