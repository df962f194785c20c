#include "capture/v4l2_source.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/capture_hooks.h"
#include "capture/capture_results.h"
#include "capture/v4l2_io.h"

namespace ocuvant::capture {
namespace {

constexpr uint32_t kWantedWidth = 1920;
constexpr uint32_t kWantedHeight = 1080;
constexpr uint32_t kMaxSide = 8192;
constexpr uint32_t kBufferCount = 4;
constexpr int kPollMs = 100;           // bounds the stop latency of the streaming thread
constexpr useconds_t kRetryUs = 2000;  // pause after a ready poll that had no frame

}  // namespace

std::unique_ptr<V4l2Source> V4l2Source::OpenNode(const std::string& node) {
  const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::unique_ptr<V4l2Source>(new V4l2Source(fd));
}

V4l2Source::~V4l2Source() {
  Stop();
  ReleaseBuffers();
  ::close(fd_);
}

bool V4l2Source::SetFormat(uint32_t pixelFormat, uint32_t width, uint32_t height) {
  v4l2_format f;
  std::memset(&f, 0, sizeof f);
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  f.fmt.pix.pixelformat = pixelFormat;
  f.fmt.pix.width = width;
  f.fmt.pix.height = height;
  f.fmt.pix.field = V4L2_FIELD_NONE;
  if (V4l2Ioctl(fd_, VIDIOC_S_FMT, &f) != 0) {
    char text[96];
    std::snprintf(text, sizeof text, "设置视频格式失败:%s", std::strerror(errno));
    LogAlways(text, "capture");
    return false;
  }
  const v4l2_pix_format& p = f.fmt.pix;
  if (p.pixelformat != pixelFormat || p.width == 0 || p.height == 0 || p.width > kMaxSide ||
      p.height > kMaxSide) {
    const V4l2Mode offered{p.pixelformat, p.width, p.height, 0, 0};
    LogAlways(("视频设备没有接受所选格式,返回:" + ModeText(offered)).c_str(), "capture");
    return false;
  }
  std::string error;
  if (!converter_.Setup(fd_, p.pixelformat, p.width, p.height, p.bytesperline, &error)) {
    LogAlways(("视频格式无法转换:" + error).c_str(), "capture");
    return false;
  }
  pixelFormat_ = p.pixelformat;
  width_ = static_cast<int32_t>(p.width);
  height_ = static_cast<int32_t>(p.height);
  bytesPerLine_ = p.bytesperline;
  return true;
}

// Asks for the chosen mode's frame interval; the mode keeps what the device confirms.
void V4l2Source::SetFrameRate() {
  if (mode_.intervalNum == 0 || mode_.intervalDen == 0) return;
  v4l2_streamparm parm;
  std::memset(&parm, 0, sizeof parm);
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  parm.parm.capture.timeperframe.numerator = mode_.intervalNum;
  parm.parm.capture.timeperframe.denominator = mode_.intervalDen;
  if (V4l2Ioctl(fd_, VIDIOC_S_PARM, &parm) != 0) {
    mode_.intervalNum = mode_.intervalDen = 0;  // the rate is the device's own
    return;
  }
  const v4l2_fract& t = parm.parm.capture.timeperframe;
  if (t.numerator != 0 && t.denominator != 0) {
    mode_.intervalNum = t.numerator;
    mode_.intervalDen = t.denominator;
  }
}

// 1920 x 1080 at the highest rate offered; without such a mode (and no size required)
// the current size at its highest rate. Logs the chosen mode, or the modes offered.
int32_t V4l2Source::ChooseMode() {
  const std::vector<V4l2Mode> modes = EnumerateV4l2Modes(fd_);
  const bool required = requiredWidth_ > 0 && requiredHeight_ > 0;
  const uint32_t wantW = required ? static_cast<uint32_t>(requiredWidth_) : kWantedWidth;
  const uint32_t wantH = required ? static_cast<uint32_t>(requiredHeight_) : kWantedHeight;
  int chosen = ChooseV4l2Mode(modes, wantW, wantH);
  v4l2_format current;
  std::memset(&current, 0, sizeof current);
  current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  const bool haveCurrent = V4l2Ioctl(fd_, VIDIOC_G_FMT, &current) == 0;
  const v4l2_pix_format& c = current.fmt.pix;
  if (chosen < 0 && !required && haveCurrent) chosen = ChooseV4l2Mode(modes, c.width, c.height);
  if (chosen >= 0) {
    mode_ = modes[static_cast<size_t>(chosen)];
  } else if (modes.empty() && haveCurrent && ConvertibleFormat(c.pixelformat) &&
             (!required || (c.width == wantW && c.height == wantH))) {
    mode_ = V4l2Mode{c.pixelformat, c.width, c.height, 0, 0};  // a device that lists nothing
  } else {
    char size[32];
    std::snprintf(size, sizeof size, "%ux%u", wantW, wantH);
    LogAlways(("没有可用的" + std::string(size) + "视频格式,设备提供:" + ModesText(modes)).c_str(),
              "capture");
    return kCaptureErrorCannotConnect;
  }
  if (!SetFormat(mode_.pixelFormat, mode_.width, mode_.height)) return kCaptureErrorCannotConnect;
  if (required && (width_ != requiredWidth_ || height_ != requiredHeight_)) {
    LogAlways("视频设备没有接受1920x1080格式", "capture");
    return kCaptureErrorCannotConnect;
  }
  mode_.width = static_cast<uint32_t>(width_);
  mode_.height = static_cast<uint32_t>(height_);
  SetFrameRate();
  LogIfEnabled(("视频格式:" + ModeText(mode_)).c_str(), "capture");
  return kCaptureOk;
}

bool V4l2Source::MapBuffers() {
  v4l2_requestbuffers req;
  std::memset(&req, 0, sizeof req);
  req.count = kBufferCount;
  req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  req.memory = V4L2_MEMORY_MMAP;
  if (V4l2Ioctl(fd_, VIDIOC_REQBUFS, &req) != 0 || req.count == 0) return false;
  const size_t needed = converter_.FrameBytes();
  const uint32_t count = req.count < 32 ? req.count : 32;
  for (uint32_t i = 0; i < count; ++i) {
    v4l2_buffer b;
    std::memset(&b, 0, sizeof b);
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = i;
    if (V4l2Ioctl(fd_, VIDIOC_QUERYBUF, &b) != 0 || b.length < needed) return false;
    void* p = ::mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, b.m.offset);
    if (p == MAP_FAILED) return false;
    buffers_.push_back({p, b.length});
  }
  return true;
}

void V4l2Source::ReleaseBuffers() {
  for (const MappedBuffer& b : buffers_) ::munmap(b.start, b.length);
  if (!buffers_.empty()) {
    v4l2_requestbuffers req;
    std::memset(&req, 0, sizeof req);
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    V4l2Ioctl(fd_, VIDIOC_REQBUFS, &req);  // count 0 frees the driver's buffers
  }
  buffers_.clear();
}

int32_t V4l2Source::Connect(int32_t* width, int32_t* height) {
  if (!connected_) {
    const int32_t chosen = ChooseMode();
    if (chosen != kCaptureOk) return chosen;
    if (!MapBuffers()) {
      ReleaseBuffers();
      return kCaptureErrorNoMemory;
    }
    bgrStride_ = (static_cast<size_t>(width_) * 3 + 3) & ~static_cast<size_t>(3);
    bgr_.assign(bgrStride_ * static_cast<size_t>(height_), 0);
    connected_ = true;
  }
  *width = width_;
  *height = height_;
  return kCaptureOk;
}

bool V4l2Source::QueueAll() {
  for (uint32_t i = 0; i < buffers_.size(); ++i) {
    v4l2_buffer b;
    std::memset(&b, 0, sizeof b);
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = i;
    if (V4l2Ioctl(fd_, VIDIOC_QBUF, &b) != 0) return false;
  }
  return true;
}

bool V4l2Source::Start(FrameSink* sink, std::string* error) {
  sink_.store(sink, std::memory_order_release);
  if (thread_.joinable() && running_.load(std::memory_order_acquire)) {  // resume delivery
    paused_.store(false, std::memory_order_release);
    return true;
  }
  Stop();  // a stream that ended on its own is restarted from scratch
  if (!connected_) {
    if (error != nullptr) *error = "video device not connected";
    return false;
  }
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (!QueueAll() || V4l2Ioctl(fd_, VIDIOC_STREAMON, &type) != 0) {
    if (error != nullptr) *error = std::string("VIDIOC_STREAMON: ") + std::strerror(errno);
    V4l2Ioctl(fd_, VIDIOC_STREAMOFF, &type);
    return false;
  }
  stop_.store(false, std::memory_order_release);
  paused_.store(false, std::memory_order_release);
  running_.store(true, std::memory_order_release);
  thread_ = std::thread([this] { StreamLoop(); });
  return true;
}

void V4l2Source::Stop() {
  if (!thread_.joinable()) return;
  stop_.store(true, std::memory_order_release);
  thread_.join();
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  V4l2Ioctl(fd_, VIDIOC_STREAMOFF, &type);
}

bool V4l2Source::OnStreamingThread() const {
  return thread_.joinable() && thread_.get_id() == std::this_thread::get_id();
}

void V4l2Source::NoteDroppedFrame(const char* reason) {
  if (dropped_.fetch_add(1, std::memory_order_relaxed) != 0) return;
  LogIfEnabled("丢弃不完整的视频帧", "capture");
  if (reason != nullptr && *reason != '\0') LogIfEnabled(reason, "capture");
}

bool V4l2Source::Deliver(const uint8_t* data, size_t used, double sampleTime) {
  decodeNote_.clear();
  const V4l2FrameConverter::Outcome outcome =
      converter_.Convert(data, used, bgr_.data(), bgrStride_, &decodeNote_);
  if (outcome == V4l2FrameConverter::Outcome::Failed) {
    NoteDroppedFrame(decodeNote_.c_str());
    return false;
  }
  if (outcome == V4l2FrameConverter::Outcome::ConvertedWithWarning &&
      warned_.fetch_add(1, std::memory_order_relaxed) == 0) {
    LogIfEnabled(("视频帧解码警告:" + decodeNote_).c_str(), "capture");
  }
  FrameSink* sink = sink_.load(std::memory_order_acquire);
  if (sink != nullptr) sink->BufferCB(sampleTime, bgr_.data(), static_cast<long>(bgr_.size()));
  return true;
}

void V4l2Source::StreamLoop() {
  const char* failure = nullptr;
  char reason[96];
  while (!stop_.load(std::memory_order_acquire)) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, kPollMs);
    if (ready < 0 && errno != EINTR) {
      failure = "poll";
      break;
    }
    if (ready <= 0) continue;
    v4l2_buffer b;
    std::memset(&b, 0, sizeof b);
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    if (V4l2Ioctl(fd_, VIDIOC_DQBUF, &b) != 0) {
      if (errno == EAGAIN) {
        ::usleep(kRetryUs);
        continue;
      }
      std::snprintf(reason, sizeof reason, "VIDIOC_DQBUF: %s", std::strerror(errno));
      failure = reason;
      break;
    }
    if (b.index >= buffers_.size()) continue;
    const MappedBuffer& m = buffers_[b.index];
    const size_t used = b.bytesused == 0 || b.bytesused > m.length ? m.length : b.bytesused;
    if (!paused_.load(std::memory_order_acquire)) {
      if ((b.flags & V4L2_BUF_FLAG_ERROR) != 0) {
        NoteDroppedFrame("视频帧带有错误标志");
      } else {
        const double t = static_cast<double>(b.timestamp.tv_sec) + b.timestamp.tv_usec * 1e-6;
        Deliver(static_cast<const uint8_t*>(m.start), used, t);
      }
    }
    if (V4l2Ioctl(fd_, VIDIOC_QBUF, &b) != 0) {
      std::snprintf(reason, sizeof reason, "VIDIOC_QBUF: %s", std::strerror(errno));
      failure = reason;
      break;
    }
  }
  running_.store(false, std::memory_order_release);
  FrameSink* sink = sink_.load(std::memory_order_acquire);
  if (failure != nullptr && sink != nullptr && !paused_.load(std::memory_order_acquire)) {
    sink->StreamFailed(failure);
  }
}

}  // namespace ocuvant::capture
