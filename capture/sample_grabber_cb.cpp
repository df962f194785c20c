#include "capture/sample_grabber_cb.h"

#include <cstdio>
#include <cstring>

#include "capture/capture_hooks.h"
#include "capture/capture_results.h"
#include "capture/frame_tap.h"

namespace ocuvant::capture {

void CSampleGrabberCB::SetSessionName(const char* name) {
  std::lock_guard<std::mutex> lock(m_requestMutex);
  m_sessionName = name != nullptr ? name : "";
}

void CSampleGrabberCB::SetFrameSize(int32_t width, int32_t height) {
  m_frameWidth.store(width, std::memory_order_release);
  m_frameHeight.store(height, std::memory_order_release);
}

void CSampleGrabberCB::RequestSnapshot(int32_t captureKind, const std::string& path) {
  std::lock_guard<std::mutex> lock(m_requestMutex);
  m_captureKind = captureKind;
  m_snapshotPath = path;
  m_snapshotRequested = true;
}

void CSampleGrabberCB::CancelSnapshot() {
  std::lock_guard<std::mutex> lock(m_requestMutex);
  m_snapshotRequested = false;
}

void CSampleGrabberCB::CopySessionName(char (&out)[kSessionNameSize]) {
  std::lock_guard<std::mutex> lock(m_requestMutex);
  std::snprintf(out, sizeof out, "%s", m_sessionName.c_str());
}

int32_t CSampleGrabberCB::BufferCB(double /*sampleTime*/, uint8_t* buffer, long length) {
  if (buffer == nullptr) return kCaptureErrorPointer;
  if (IgnoreFrames()) return kCaptureOk;
  const FrameRoute route = Route();
  const bool locked = route == IrisFrames;
  if (locked) {
    m_frameLock.Enter();
    // Close sets the flag before it takes the lock: a frame that got here first and
    // waited for the lock must not reach the control any more.
    if (IgnoreFrames()) {
      m_frameLock.Leave();
      return kCaptureOk;
    }
  }
  TakeRequestedSnapshot(buffer, length);
  if (route == IrisFrames || route == FaceFrames) NotifyFrame(buffer, length, route);
  if (locked) m_frameLock.Leave();
  NotifyFrameTap(buffer, length, FrameWidth(), FrameHeight(), route);
  return kCaptureOk;
}

void CSampleGrabberCB::TakeRequestedSnapshot(const uint8_t* buffer, long length) {
  int32_t kind = 0;
  char name[kSessionNameSize];
  {
    std::lock_guard<std::mutex> lock(m_requestMutex);
    if (!m_snapshotRequested) return;
    m_snapshotRequested = false;
    kind = m_captureKind;
    m_writingPath.swap(m_snapshotPath);  // no allocation on the streaming thread
    std::snprintf(name, sizeof name, "%s", m_sessionName.c_str());
  }
  // A file that cannot be created (or a path longer than the buffer) leaves no file,
  // but the request is answered all the same.
  SaveSnapshotBmp(buffer, length, FrameWidth(), FrameHeight(), m_writingPath.c_str(), m_pathBuffer);
  LogIfEnabled("保存照片完毕", name);
  NotifyPhotoCaptured(kind, m_writingPath.c_str());
}

void CSampleGrabberCB::StreamFailed(const char* reason) {
  char name[kSessionNameSize];
  CopySessionName(name);
  char text[256];
  std::snprintf(text, sizeof text, "视频设备停止工作:%s", reason != nullptr ? reason : "");
  LogAlways(text, name);
  NotifyCameraLost(name);
}

}  // namespace ocuvant::capture
