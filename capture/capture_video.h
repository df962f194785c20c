// One camera session: a device bound to a capture source whose frames reach the
// embedded grabber callback on the source's streaming thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "capture/camera_controls.h"
#include "capture/capture_backend.h"
#include "capture/frame_route.h"
#include "capture/sample_grabber_cb.h"

namespace ocuvant::capture {

// Session states and their legal transitions:
//   Empty     --Open/OpenPhotoVideo ok--> Built      (a failed open returns to Empty)
//   Built     --Run ok--> Streaming
//   Streaming --Pause--> Paused ;  Paused --Run ok--> Streaming
//   Built/Streaming --Open--> same state (route and session name change only)
//   Paused    --Open/OpenPhotoVideo--> rebuilt from Empty
//   any       --Close--> Empty
enum class CaptureState : int32_t { Empty = 0, Built = 1, Streaming = 2, Paused = 3 };

class CCaptureVideo {
 public:
  // An opaque handle of the window that owns the live picture (the control's window).
  using WindowHandle = const void*;

  CCaptureVideo() = default;
  virtual ~CCaptureVideo();
  CCaptureVideo(const CCaptureVideo&) = delete;
  CCaptureVideo& operator=(const CCaptureVideo&) = delete;

  // Camera-parameter JSON applied by the next Open / OpenPhotoVideo when not empty.
  void SetCameraParams(const std::string& text);

  // 0 on success and when already open (device bound); 1 when the device cannot be
  // bound; a negative failure code otherwise.
  int32_t Open(int32_t deviceIndex, WindowHandle owner, FrameRoute route, const char* sessionName);
  // Background-photo camera: route SnapshotOnly, session "PhotoVideo"; failures are
  // also shown in message boxes.
  int32_t OpenPhotoVideo(int32_t deviceIndex);
  // 1 running; -100 no graph; -102 the device would not stream.
  int32_t Run();
  void SetOwnerWindow(WindowHandle owner);
  void RequestSnapshot(int32_t captureKind, const std::string& path);
  // The same, only while the session streams (not paused, not closed); false when
  // nothing was requested. Open, Pause and Close drop a request still pending.
  bool RequestSnapshotWhileStreaming(int32_t captureKind, const std::string& path);
  int32_t Pause();  // always 0
  int32_t Close();  // always 0; waits for an iris frame in progress

  // Camera list (over every registered backend).
  int32_t EnumDevices(std::string* text, bool friendlyNames) const;
  int32_t FindDeviceByPath(const char* fragment) const;
  bool BindDevice(int32_t deviceIndex);

  // Camera properties of the bound device.
  bool ApplyCameraParams(const std::string& text);
  static int32_t ApplyProcAmpProperty(VideoProcAmp* amp, ProcAmpProperty property, const char* name,
                                      int32_t value);

  CaptureState State() const;
  bool DeviceBound() const;
  WindowHandle OwnerWindow() const;
  int32_t FrameWidth() const { return m_grabber.FrameWidth(); }
  int32_t FrameHeight() const { return m_grabber.FrameHeight(); }
  FrameRoute Route() const { return m_grabber.Route(); }
  // Held while an iris frame is processed; taken by others to act between frames.
  platform::CriticalSection& FrameLock() { return m_grabber.FrameLock(); }

 private:
  bool BindDeviceLocked(int32_t deviceIndex);
  bool ApplyCameraParamsLocked(const std::string& text);
  void ReleaseGraphLocked();
  std::unique_ptr<CaptureSource> DetachSourceLocked();
  static void StopSource(std::unique_ptr<CaptureSource> source);

  mutable std::mutex m_graphMutex;  // guards every field below; never held by the callback
  std::string m_cameraParams;
  CSampleGrabberCB m_grabber;
  WindowHandle m_ownerWindow = nullptr;
  std::unique_ptr<CaptureSource> m_source;
  bool m_graphBuilt = false;
  bool m_deviceBound = false;
  CaptureState m_state = CaptureState::Empty;
};

}  // namespace ocuvant::capture
