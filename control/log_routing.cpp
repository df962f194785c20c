#include "control/log_routing.h"

#include "capture/capture_hooks.h"
#include "control/ocuvant_ctrl.h"
#include "session/iris_pipeline.h"
#include "session/log.h"

namespace ocuvant::control {
namespace {

// With logging off an ordinary line goes no further than the flag test: nothing is
// built or allocated for it (frames run through here).
void RouteLine(bool always, std::string_view text, std::string_view tag) {
  COcuvantCtrl* c = g_control.load(std::memory_order_acquire);
  if (c == nullptr) return;
  if (always) {
    c->LogAlways(text, tag);
  } else {
    c->LogIfEnabled(text, tag);
  }
}

void SessionLog(bool always, const std::string& text, const std::string& tag) {
  RouteLine(always, text, tag);
}

bool SessionLogWanted() {
  COcuvantCtrl* c = g_control.load(std::memory_order_acquire);
  return c != nullptr && c->m_logEnabled.load(std::memory_order_relaxed) == 1;
}

void CaptureLogIfEnabled(void*, const char* text, const char* tag) {
  RouteLine(false, text ? text : "", tag ? tag : "");
}

void CaptureLogAlways(void*, const char* text, const char* tag) {
  RouteLine(true, text ? text : "", tag ? tag : "");
}

void CapturePhoto(void*, int32_t captureKind, const char* path) {
  if (COcuvantCtrl* c = g_control.load(std::memory_order_acquire)) {
    c->FirePhotoCaptureEvent(captureKind, path ? path : "");
  }
}

void CaptureFrame(void*, const uint8_t* data, long length, capture::FrameRoute route) {
  if (COcuvantCtrl* c = g_control.load(std::memory_order_acquire)) {
    session::OnFrame(*c, data, length, route);
  }
}

void CaptureCameraLost(void*, const char* sessionName) {
  if (COcuvantCtrl* c = g_control.load(std::memory_order_acquire)) {
    c->OnCameraLost(sessionName ? sessionName : "");
  }
}

const capture::CaptureHooks kCaptureHooks = [] {
  capture::CaptureHooks h;
  h.logIfEnabled = &CaptureLogIfEnabled;
  h.logAlways = &CaptureLogAlways;
  h.photoCaptured = &CapturePhoto;
  h.onFrame = &CaptureFrame;
  h.cameraLost = &CaptureCameraLost;
  return h;
}();

}  // namespace

void InstallLogRouting() {
  session::SetLogHook(&SessionLog, &SessionLogWanted);
  capture::InstallCaptureHooks(&kCaptureHooks);
}

void COcuvantCtrl::LogIfEnabled(std::string_view text, std::string_view tag) {
  if (m_logEnabled.load(std::memory_order_relaxed) == 1) {
    FireLogInfo(std::string(tag), std::string(text));
  }
}

void COcuvantCtrl::LogAlways(std::string_view text, std::string_view tag) {
  FireLogInfo(std::string(tag), std::string(text));
}

}  // namespace ocuvant::control
