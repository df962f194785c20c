// Common part of the virtual cameras: a capture source that renders bottom-up BGR24
// frames into one buffer of its own and delivers them at a fixed frame rate on a
// streaming thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_backend.h"
#include "platform/thread.h"
#include "simulator/virtual_camera_controls.h"

namespace ocuvant::simulator {

struct VirtualStreamFormat {
  int32_t width = 0;
  int32_t height = 0;
  double framesPerSecond = 30;
  bool delivers = true;  // false: the stream runs but no frame ever arrives
};

class VirtualCameraStream : public capture::CaptureSource {
 public:
  VirtualCameraStream(const VirtualStreamFormat& format,
                      std::shared_ptr<VirtualCameraControls> controls);
  ~VirtualCameraStream() override;

  capture::VideoProcAmp* ProcAmp() override { return controls_.get(); }
  capture::CameraControl* CameraControls() override { return controls_.get(); }
  int32_t Connect(int32_t* width, int32_t* height) override;
  bool Start(capture::FrameSink* sink, std::string* error) override;
  void Pause() override { paused_.store(true, std::memory_order_release); }
  void Stop() override;
  bool OnStreamingThread() const override;

 protected:
  // Renders frame `index` (counted from the start of the stream at the nominal rate)
  // into `bgr`: bottom-up rows of 3 * width bytes, holding what the previous call left
  // there. False: no frame this time.
  virtual bool RenderFrame(uint64_t index, uint8_t* bgr) = 0;
  // True from the frame on which the device goes away: the sink hears that the stream
  // failed and the streaming thread ends.
  virtual bool Unplugged(uint64_t /*index*/) const { return false; }
  // Called once by Connect, before the first frame (e.g. to check a replay folder).
  virtual bool Prepare() { return true; }
  // True: a stream that falls behind its rate skips the frames it missed (a live
  // camera). False: every frame is delivered in order, as soon as the sink returns.
  virtual bool SkipsLateFrames() const { return true; }
  // Every subclass calls this in its destructor: the thread renders through it.
  void StopStream();
  const VirtualStreamFormat& format() const { return format_; }

 private:
  void Loop();

  const VirtualStreamFormat format_;
  std::shared_ptr<VirtualCameraControls> controls_;
  std::vector<uint8_t> frame_;
  bool connected_ = false;
  platform::ManualResetEvent stop_;
  std::unique_ptr<platform::Thread> thread_;
  std::atomic<std::thread::id> threadId_{};
  std::atomic<bool> paused_{false};
  std::atomic<capture::FrameSink*> sink_{nullptr};
};

}  // namespace ocuvant::simulator
