#include "simulator/virtual_camera_stream.h"

#include "capture/capture_results.h"

namespace ocuvant::simulator {

VirtualCameraStream::VirtualCameraStream(const VirtualStreamFormat& format,
                                         std::shared_ptr<VirtualCameraControls> controls)
    : format_(format), controls_(std::move(controls)) {}

VirtualCameraStream::~VirtualCameraStream() {
  StopStream();
}

int32_t VirtualCameraStream::Connect(int32_t* width, int32_t* height) {
  if (!connected_) {
    if (format_.width <= 0 || format_.height <= 0 || format_.width > 8192 ||
        format_.height > 8192 || !(format_.framesPerSecond > 0) || !Prepare()) {
      return capture::kCaptureErrorCannotConnect;
    }
    frame_.assign(static_cast<size_t>(format_.width) * format_.height * 3, 0);
    connected_ = true;
  }
  *width = format_.width;
  *height = format_.height;
  return capture::kCaptureOk;
}

bool VirtualCameraStream::Start(capture::FrameSink* sink, std::string* error) {
  sink_.store(sink, std::memory_order_release);
  paused_.store(false, std::memory_order_release);
  if (thread_) return true;  // running: delivery resumes
  if (!connected_) {
    if (error != nullptr) *error = "virtual camera not connected";
    return false;
  }
  stop_.Reset();
  thread_ = std::make_unique<platform::Thread>([this] { Loop(); });
  return true;
}

void VirtualCameraStream::Stop() {
  StopStream();
}

void VirtualCameraStream::StopStream() {
  if (!thread_) return;
  stop_.Set();
  thread_->Join();
  thread_.reset();
  threadId_.store(std::thread::id(), std::memory_order_release);
}

bool VirtualCameraStream::OnStreamingThread() const {
  return threadId_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

// Frames are due at start + index / rate; a live stream that falls behind skips the
// frames it missed instead of delivering them in a burst, one that skips nothing
// delivers the late frame and keeps the rate from there.
void VirtualCameraStream::Loop() {
  threadId_.store(std::this_thread::get_id(), std::memory_order_release);
  const double periodMs = 1000.0 / format_.framesPerSecond;
  const uint32_t start = platform::GetTickCount();
  uint64_t index = 0;
  uint32_t delayMs = 0;  // how far a stream that skips nothing has been held up
  for (;;) {
    const auto due = static_cast<uint32_t>(static_cast<double>(index) * periodMs) + delayMs;
    const uint32_t elapsed = platform::TicksSince(start);
    if (due > elapsed) {
      if (stop_.Wait(due - elapsed)) return;
    } else if (stop_.IsSet()) {
      return;
    } else if (elapsed - due > 2 * periodMs) {
      if (SkipsLateFrames()) {
        index = static_cast<uint64_t>(elapsed / periodMs);
      } else {
        delayMs += elapsed - due;  // the next frames keep the rate from here on
      }
    }
    capture::FrameSink* sink = sink_.load(std::memory_order_acquire);
    if (sink != nullptr && Unplugged(index)) {
      sink->StreamFailed("device removed");
      return;
    }
    if (format_.delivers && sink != nullptr && !paused_.load(std::memory_order_acquire) &&
        RenderFrame(index, frame_.data())) {
      sink->BufferCB(static_cast<double>(index) * periodMs / 1000.0, frame_.data(),
                     static_cast<long>(frame_.size()));
    }
    ++index;
  }
}

}  // namespace ocuvant::simulator
