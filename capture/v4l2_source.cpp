#include "capture/v4l2_source.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/bgr_conversion.h"
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

bool Supported(uint32_t pixelFormat) {
  return pixelFormat == V4L2_PIX_FMT_YUYV || pixelFormat == V4L2_PIX_FMT_MJPEG;
}

bool OffersFormat(int fd, uint32_t pixelFormat) {
  for (uint32_t i = 0; i < 64; ++i) {
    v4l2_fmtdesc d;
    std::memset(&d, 0, sizeof d);
    d.index = i;
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (V4l2Ioctl(fd, VIDIOC_ENUM_FMT, &d) != 0) return false;
    if (d.pixelformat == pixelFormat) return true;
  }
  return false;
}

// 1 offered, 0 not offered, -1 the device does not list its frame sizes.
int Offers1080p(int fd, uint32_t pixelFormat) {
  for (uint32_t i = 0; i < 256; ++i) {
    v4l2_frmsizeenum s;
    std::memset(&s, 0, sizeof s);
    s.index = i;
    s.pixel_format = pixelFormat;
    if (V4l2Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &s) != 0) return i == 0 ? -1 : 0;
    if (s.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      if (s.discrete.width == kWantedWidth && s.discrete.height == kWantedHeight) return 1;
      continue;
    }
    const v4l2_frmsize_stepwise& w = s.stepwise;
    const uint32_t sw = w.step_width ? w.step_width : 1, sh = w.step_height ? w.step_height : 1;
    return kWantedWidth >= w.min_width && kWantedWidth <= w.max_width &&
                   kWantedHeight >= w.min_height && kWantedHeight <= w.max_height &&
                   (kWantedWidth - w.min_width) % sw == 0 &&
                   (kWantedHeight - w.min_height) % sh == 0
               ? 1
               : 0;
  }
  return 0;
}

}  // namespace

std::unique_ptr<V4l2Source> V4l2Source::OpenNode(const std::string& node) {
  const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::unique_ptr<V4l2Source>(new V4l2Source(fd));
}

V4l2Source::~V4l2Source() {
  Stop();
  ReleaseBuffers();
  if (jpeg_ != nullptr) tjDestroy(static_cast<tjhandle>(jpeg_));
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
  if (V4l2Ioctl(fd_, VIDIOC_S_FMT, &f) != 0) return false;
  const v4l2_pix_format& p = f.fmt.pix;
  if (!Supported(p.pixelformat) || p.width == 0 || p.height == 0 || p.width > kMaxSide ||
      p.height > kMaxSide) {
    return false;
  }
  if (p.pixelformat == V4L2_PIX_FMT_YUYV &&
      (p.width % 2 != 0 || (p.bytesperline != 0 && p.bytesperline < 2 * p.width))) {
    return false;
  }
  pixelFormat_ = p.pixelformat;
  width_ = static_cast<int32_t>(p.width);
  height_ = static_cast<int32_t>(p.height);
  bytesPerLine_ =
      p.pixelformat == V4L2_PIX_FMT_YUYV && p.bytesperline == 0 ? 2 * p.width : p.bytesperline;
  return true;
}

// YUYV or MJPEG at 1920 x 1080 where offered; otherwise the current size.
bool V4l2Source::ChooseFormat() {
  const uint32_t candidates[] = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG};
  bool listed = false;
  for (uint32_t pf : candidates) {
    if (!OffersFormat(fd_, pf)) continue;
    listed = true;
    const int offers = Offers1080p(fd_, pf);
    if (offers != 0 && SetFormat(pf, kWantedWidth, kWantedHeight)) return true;
  }
  v4l2_format current;
  std::memset(&current, 0, sizeof current);
  current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (V4l2Ioctl(fd_, VIDIOC_G_FMT, &current) != 0) return false;
  const v4l2_pix_format& p = current.fmt.pix;
  if (Supported(p.pixelformat) && SetFormat(p.pixelformat, p.width, p.height)) return true;
  for (uint32_t pf : candidates) {
    if ((!listed || OffersFormat(fd_, pf)) && SetFormat(pf, p.width, p.height)) return true;
  }
  return false;
}

bool V4l2Source::MapBuffers() {
  v4l2_requestbuffers req;
  std::memset(&req, 0, sizeof req);
  req.count = kBufferCount;
  req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  req.memory = V4L2_MEMORY_MMAP;
  if (V4l2Ioctl(fd_, VIDIOC_REQBUFS, &req) != 0 || req.count == 0) return false;
  const size_t needed = pixelFormat_ == V4L2_PIX_FMT_YUYV
                            ? static_cast<size_t>(bytesPerLine_) * static_cast<size_t>(height_)
                            : 1;
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
    if (!ChooseFormat()) return kCaptureErrorCannotConnect;
    if (!MapBuffers()) {
      ReleaseBuffers();
      return kCaptureErrorNoMemory;
    }
    bgrStride_ = (static_cast<size_t>(width_) * 3 + 3) & ~static_cast<size_t>(3);
    bgr_.assign(bgrStride_ * static_cast<size_t>(height_), 0);
    if (pixelFormat_ == V4L2_PIX_FMT_MJPEG && jpeg_ == nullptr) {
      jpeg_ = tjInitDecompress();
      if (jpeg_ == nullptr) return kCaptureErrorNoMemory;
    }
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

void V4l2Source::NoteDroppedFrame() {
  if (droppedLogged_) return;
  droppedLogged_ = true;
  LogIfEnabled("丢弃不完整的视频帧", "capture");
}

bool V4l2Source::Deliver(const uint8_t* data, size_t used, double sampleTime) {
  if (pixelFormat_ == V4L2_PIX_FMT_YUYV) {
    if (used < static_cast<size_t>(bytesPerLine_) * static_cast<size_t>(height_)) return false;
    ConvertYuyvToBgrBottomUp(data, bytesPerLine_, width_, height_, bgr_.data(), bgrStride_);
  } else {
    auto* handle = static_cast<tjhandle>(jpeg_);
    int w = 0, h = 0, subsampling = 0, colorspace = 0;
    auto* jpeg = const_cast<uint8_t*>(data);  // TurboJPEG 2.x takes a non-const source
    if (tjDecompressHeader3(handle, jpeg, static_cast<unsigned long>(used), &w, &h, &subsampling,
                            &colorspace) != 0 ||
        w != width_ || h != height_) {
      return false;
    }
    if (tjDecompress2(handle, jpeg, static_cast<unsigned long>(used), bgr_.data(), width_,
                      static_cast<int>(bgrStride_), height_, TJPF_BGR, TJFLAG_BOTTOMUP) != 0) {
      return false;
    }
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
    if (!paused_.load(std::memory_order_acquire) && (b.flags & V4L2_BUF_FLAG_ERROR) == 0) {
      const double t = static_cast<double>(b.timestamp.tv_sec) + b.timestamp.tv_usec * 1e-6;
      if (!Deliver(static_cast<const uint8_t*>(m.start), used, t)) NoteDroppedFrame();
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
