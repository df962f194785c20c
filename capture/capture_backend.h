// Capture backends: where camera sessions get their devices from. A backend lists its
// devices and binds one of them to a capture source; the session drives the source.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/camera_controls.h"

namespace ocuvant::capture {

class CaptureBackend;

// One position of the device list. A device whose name or path cannot be read still
// takes its position (the flags say which property is readable).
struct DeviceDescriptor {
  bool hasFriendlyName = false;
  std::string friendlyName;
  bool hasDevicePath = false;
  std::string devicePath;  // Windows-style interface path, lower case
  std::string locator;     // backend-private (a /dev node, a virtual device key)
  std::shared_ptr<CaptureBackend> backend;
};

// Receives frames on the source's streaming thread.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // `buffer` holds a bottom-up BGR24 image of the connected size; it stays valid until
  // the call returns. Returns 0 or a negative failure code (ignored by sources).
  virtual int32_t BufferCB(double sampleTime, uint8_t* buffer, long length) = 0;
  // The stream ended on its own (device gone, I/O error); no frame follows.
  virtual void StreamFailed(const char* reason) = 0;
};

// A bound device. Lifecycle (legal transitions):
//   Bound --Connect ok--> Connected --Start--> Streaming --Pause--> Paused
//   Streaming/Paused --Stop--> Connected --Start--> Streaming;  any --destroy--> gone.
class CaptureSource {
 public:
  virtual ~CaptureSource() = default;
  virtual VideoProcAmp* ProcAmp() = 0;          // nullptr when the device has none
  virtual CameraControl* CameraControls() = 0;  // nullptr when the device has none
  // Makes Connect fail unless the device can deliver exactly width x height (the iris
  // pipeline's frame); sources of a fixed size ignore it.
  virtual void RequireFrameSize(int32_t /*width*/, int32_t /*height*/) {}
  // Chooses the capture format (1920 x 1080 where offered), prepares the buffers and
  // reports the frame size; 0 or a negative result.
  virtual int32_t Connect(int32_t* width, int32_t* height) = 0;
  // Starts (or resumes) delivering frames to `sink` on the streaming thread. On failure
  // returns false and may describe the failure in `error`.
  virtual bool Start(FrameSink* sink, std::string* error) = 0;
  // Stops delivering frames (and failure notices) to the sink without stopping the
  // device; never blocks.
  virtual void Pause() = 0;
  // Stops the streaming thread (bounded wait). Must not be called from the sink.
  virtual void Stop() = 0;
  // True on this source's streaming thread (inside the sink).
  virtual bool OnStreamingThread() const = 0;
  // After Connect: the window that shows the live picture as a child over its client
  // area, or nullptr for a picture that stays hidden. Sources without a picture of
  // their own ignore it.
  virtual void AttachVideoWindow(const void* /*owner*/) {}
};

class CaptureBackend {
 public:
  virtual ~CaptureBackend() = default;
  // Appends this backend's devices in a stable order; sets `backend` in each.
  virtual void Enumerate(const std::shared_ptr<CaptureBackend>& self,
                         std::vector<DeviceDescriptor>* out) = 0;
  virtual std::unique_ptr<CaptureSource> Bind(const DeviceDescriptor& device) = 0;
  // The capture modes the device offers, one text each ("MJPG 1920x1080 30fps"), the
  // one a session would choose marked with a trailing " *". By default the size the
  // bound device connects at.
  virtual std::vector<std::string> DescribeModes(const DeviceDescriptor& device);
};

}  // namespace ocuvant::capture
