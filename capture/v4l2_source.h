// A V4L2 camera as a capture source: plain open/ioctl/mmap streaming on a thread of its
// own. Connect picks 1920 x 1080 at the camera's highest frame rate; frames are
// converted into a bottom-up BGR24 buffer owned here.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_backend.h"
#include "capture/v4l2_controls.h"
#include "capture/v4l2_frame_converter.h"
#include "capture/v4l2_modes.h"

namespace ocuvant::capture {

class V4l2Source final : public CaptureSource {
 public:
  // Opens the device node; nullptr when it cannot be opened.
  static std::unique_ptr<V4l2Source> OpenNode(const std::string& node);
  ~V4l2Source() override;

  VideoProcAmp* ProcAmp() override { return &controls_; }
  CameraControl* CameraControls() override { return &controls_; }
  void RequireFrameSize(int32_t width, int32_t height) override {
    requiredWidth_ = width;
    requiredHeight_ = height;
  }
  int32_t Connect(int32_t* width, int32_t* height) override;
  bool Start(FrameSink* sink, std::string* error) override;
  void Pause() override { paused_.store(true, std::memory_order_release); }
  void Stop() override;
  bool OnStreamingThread() const override;

  uint32_t PixelFormat() const { return pixelFormat_; }
  // The mode Connect set (its frame interval as the device confirmed it).
  const V4l2Mode& Mode() const { return mode_; }
  // Frames not delivered: flagged as damaged by the driver, short, or not decodable.
  uint32_t DroppedFrames() const { return dropped_.load(std::memory_order_relaxed); }
  // Frames delivered although the decoder warned about them.
  uint32_t WarnedFrames() const { return warned_.load(std::memory_order_relaxed); }

 private:
  struct MappedBuffer {
    void* start = nullptr;
    size_t length = 0;
  };

  explicit V4l2Source(int fd) : fd_(fd), controls_(fd) {}
  int32_t ChooseMode();
  bool SetFormat(uint32_t pixelFormat, uint32_t width, uint32_t height);
  void SetFrameRate();
  bool MapBuffers();
  void ReleaseBuffers();
  bool QueueAll();
  void StreamLoop();
  bool Deliver(const uint8_t* data, size_t used, double sampleTime);
  void NoteDroppedFrame(const char* reason);

  int fd_;
  V4l2Controls controls_;
  uint32_t pixelFormat_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t bytesPerLine_ = 0;
  int32_t requiredWidth_ = 0;  // 0: any size (1920 x 1080 preferred)
  int32_t requiredHeight_ = 0;
  V4l2Mode mode_;
  V4l2FrameConverter converter_;
  std::vector<MappedBuffer> buffers_;
  std::vector<uint8_t> bgr_;  // the frame handed to the sink
  size_t bgrStride_ = 0;
  bool connected_ = false;

  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> running_{false};  // false once the stream ended on its own
  std::atomic<FrameSink*> sink_{nullptr};
  std::atomic<uint32_t> dropped_{0};
  std::atomic<uint32_t> warned_{0};
  std::string decodeNote_;  // streaming thread only
};

}  // namespace ocuvant::capture
