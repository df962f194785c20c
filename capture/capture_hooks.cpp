#include "capture/capture_hooks.h"

#include <atomic>

namespace ocuvant::capture {
namespace {

const CaptureHooks kNoHooks{};
std::atomic<const CaptureHooks*> g_hooks{&kNoHooks};

const CaptureHooks& Hooks() {
  return *g_hooks.load(std::memory_order_acquire);
}

}  // namespace

void InstallCaptureHooks(const CaptureHooks* hooks) {
  g_hooks.store(hooks != nullptr ? hooks : &kNoHooks, std::memory_order_release);
}

void LogIfEnabled(const char* text, const char* tag) {
  const CaptureHooks& h = Hooks();
  if (h.logIfEnabled != nullptr) h.logIfEnabled(h.context, text, tag);
}

void LogAlways(const char* text, const char* tag) {
  const CaptureHooks& h = Hooks();
  if (h.logAlways != nullptr) h.logAlways(h.context, text, tag);
}

void NotifyFrame(const uint8_t* data, long length, FrameRoute route) {
  const CaptureHooks& h = Hooks();
  if (h.onFrame != nullptr) h.onFrame(h.context, data, length, route);
}

void NotifyPhotoCaptured(int32_t captureKind, const char* path) {
  const CaptureHooks& h = Hooks();
  if (h.photoCaptured != nullptr) h.photoCaptured(h.context, captureKind, path);
}

void NotifyCameraLost(const char* sessionName) {
  const CaptureHooks& h = Hooks();
  if (h.cameraLost != nullptr) h.cameraLost(h.context, sessionName);
}

}  // namespace ocuvant::capture
