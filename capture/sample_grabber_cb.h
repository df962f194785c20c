// The frame callback of a capture session: writes requested snapshots and hands frames
// to the control's frame entry according to the session's route.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "capture/capture_backend.h"
#include "capture/frame_route.h"
#include "capture/snapshot_writer.h"
#include "platform/thread.h"

namespace ocuvant::capture {

class CSampleGrabberCB final : public FrameSink {
 public:
  CSampleGrabberCB() = default;
  CSampleGrabberCB(const CSampleGrabberCB&) = delete;
  CSampleGrabberCB& operator=(const CSampleGrabberCB&) = delete;

  // Streaming thread.
  int32_t BufferCB(double sampleTime, uint8_t* buffer, long length) override;
  void StreamFailed(const char* reason) override;

  // Session side (host and worker threads).
  void SetRoute(FrameRoute route) { m_route.store(route, std::memory_order_release); }
  FrameRoute Route() const { return m_route.load(std::memory_order_acquire); }
  void SetSessionName(const char* name);
  void SetIgnoreFrames(bool ignore) { m_ignoreFrames.store(ignore, std::memory_order_release); }
  bool IgnoreFrames() const { return m_ignoreFrames.load(std::memory_order_acquire); }
  void SetFrameSize(int32_t width, int32_t height);
  int32_t FrameWidth() const { return m_frameWidth.load(std::memory_order_acquire); }
  int32_t FrameHeight() const { return m_frameHeight.load(std::memory_order_acquire); }
  // The next frame that reaches the callback is written to `path` and announced with
  // `captureKind`; a second request before that frame replaces the first.
  void RequestSnapshot(int32_t captureKind, const std::string& path);
  // Forgets a request no frame has answered yet (the camera stops or changes).
  void CancelSnapshot();
  platform::CriticalSection& FrameLock() { return m_frameLock; }

 private:
  static constexpr size_t kSessionNameSize = 64;
  void TakeRequestedSnapshot(const uint8_t* buffer, long length);
  void CopySessionName(char (&out)[kSessionNameSize]);

  platform::CriticalSection m_frameLock;  // held per frame for IrisFrames only
  std::atomic<FrameRoute> m_route{IrisFrames};
  std::atomic<bool> m_ignoreFrames{true};
  std::atomic<int32_t> m_frameWidth{0};
  std::atomic<int32_t> m_frameHeight{0};

  // The request fields are written by the control's threads and read by the streaming
  // thread: a small lock keeps them consistent (never held while a file is written).
  std::mutex m_requestMutex;
  int32_t m_captureKind = 0;
  bool m_snapshotRequested = false;
  std::string m_snapshotPath;
  std::string m_sessionName;

  // Streaming thread only.
  std::string m_writingPath;
  char m_pathBuffer[kSnapshotPathBufferSize] = {};
};

}  // namespace ocuvant::capture
