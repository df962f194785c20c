#include "fake_v4l2_camera.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ocuvant::capture::testing {
namespace {

constexpr size_t kPage = 4096;
constexpr int64_t kFrameIntervalUs = 33333;
constexpr uint32_t kUnpluggedAfter = 3;

template <typename T>
bool Resolve(UMockdevIoctlClient* client, T* out, UMockdevIoctlData** data) {
  GError* error = nullptr;
  *data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(T), &error);
  if (*data == nullptr) {
    if (error != nullptr) g_error_free(error);
    return false;
  }
  std::memcpy(out, (*data)->data, sizeof(T));
  return true;
}

template <typename T>
void Reply(UMockdevIoctlData* data, const T& value) {
  umockdev_ioctl_data_update(data, 0, reinterpret_cast<guint8*>(const_cast<T*>(&value)),
                             static_cast<gint>(sizeof(T)));
}

void CopyText(uint8_t* dst, size_t size, const char* text) {
  std::strncpy(reinterpret_cast<char*>(dst), text, size - 1);
}

}  // namespace

bool FakeV4l2Camera::Install(UMockdevTestbed* tb, std::string* error) {
  gchar* usb = umockdev_testbed_add_device(
      tb, "usb", "usb1/1-1", nullptr, "idVendor", "0C45", "idProduct", "6366", "serial", "SN0042",
      "product", "Iris Camera", nullptr, "DEVTYPE", "usb_device", nullptr);
  gchar* iface = umockdev_testbed_add_device(tb, "usb", "1-1:1.0", usb, "bInterfaceNumber", "00",
                                             nullptr, "DEVTYPE", "usb_interface", nullptr);
  gchar* video = umockdev_testbed_add_device(tb, "video4linux", "video0", iface, "name",
                                             "USB Iris Camera", "index", "0", "dev", "81:0",
                                             nullptr, "DEVNAME", "/dev/video0", nullptr);
  // The metadata node of a UVC camera: not a capture device, and not openable here.
  gchar* meta = umockdev_testbed_add_device(tb, "video4linux", "video1", iface, "name",
                                            "USB Iris Camera", "index", "1", "dev", "81:1", nullptr,
                                            "DEVNAME", "/dev/video1", nullptr);
  const bool added = usb != nullptr && iface != nullptr && video != nullptr && meta != nullptr;
  g_free(usb);
  g_free(iface);
  g_free(video);
  g_free(meta);
  if (!added) {
    *error = "umockdev_testbed_add_device failed";
    return false;
  }
  gchar* root = umockdev_testbed_get_root_dir(tb);
  const std::string dev = std::string(root) + "/dev";
  g_free(root);
  ::mkdir(dev.c_str(), 0755);
  node_ = dev + "/video0";
  const int fd = ::open(node_.c_str(), O_CREAT | O_RDWR, 0644);
  if (fd < 0) {
    *error = "cannot create " + node_;
    return false;
  }
  ::close(fd);
  UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
  g_signal_connect(handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
  GError* gerror = nullptr;
  if (!umockdev_testbed_attach_ioctl(tb, "/dev/video0", handler, &gerror)) {
    *error = gerror != nullptr ? gerror->message : "attach_ioctl failed";
    if (gerror != nullptr) g_error_free(gerror);
    return false;
  }
  Reset(Mode::Normal);
  return true;
}

void FakeV4l2Camera::Reset(Mode mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = mode;
  width_ = 640;
  height_ = 480;
  pixelFormat_ = mode == Mode::MjpegOnly ? V4L2_PIX_FMT_MJPEG : V4L2_PIX_FMT_YUYV;
  bytesPerLine_ = pixelFormat_ == V4L2_PIX_FMT_MJPEG ? 0 : width_ * 2;
  std::vector<std::pair<uint32_t, uint32_t>> sizes = {{640, 480}};
  if (mode != Mode::SmallOnly) sizes.emplace_back(1920, 1080);
  formats_ = {{pixelFormat_, sizes, {{1, 30}}, 0}};
  custom_.clear();
  errorEveryOther_ = false;
  interval_ = {0, 0};
  jpeg_.clear();
  streaming_ = false;
  bufferCount_ = 0;
  queued_.clear();
  sequence_ = 0;
  lastFrameUs_ = 0;
  writes_.clear();
  formatsSet_.clear();
  controls_ = {
      {V4L2_CID_BRIGHTNESS, -64, 64, 0, 0},
      {V4L2_CID_CONTRAST, 0, 95, 32, 32},
      {V4L2_CID_GAIN, 0, 100, 10, 10},
      {V4L2_CID_EXPOSURE_AUTO, 0, 3, 3, 3},
      {V4L2_CID_EXPOSURE_ABSOLUTE, 3, 2047, 156, 156},
  };
}

void FakeV4l2Camera::SetJpeg(std::vector<uint8_t> jpeg) {
  std::lock_guard<std::mutex> lock(mutex_);
  jpeg_ = std::move(jpeg);
}

void FakeV4l2Camera::SetFormats(std::vector<Format> formats) {
  std::lock_guard<std::mutex> lock(mutex_);
  formats_ = std::move(formats);
  pixelFormat_ = formats_.empty() ? 0 : formats_[0].pixelFormat;
  if (!formats_.empty() && !formats_[0].sizes.empty()) {
    width_ = formats_[0].sizes[0].first;
    height_ = formats_[0].sizes[0].second;
  }
}

void FakeV4l2Camera::SetFrame(std::vector<uint8_t> frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  custom_ = std::move(frame);
}

void FakeV4l2Camera::SetErrorEveryOtherFrame(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  errorEveryOther_ = on;
}

uint32_t FakeV4l2Camera::BytesPerLine() {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytesPerLine_;
}

std::pair<uint32_t, uint32_t> FakeV4l2Camera::IntervalSet() {
  std::lock_guard<std::mutex> lock(mutex_);
  return interval_;
}

const FakeV4l2Camera::Format* FakeV4l2Camera::FindFormat(uint32_t pixelFormat) const {
  for (const Format& f : formats_) {
    if (f.pixelFormat == pixelFormat) return &f;
  }
  return nullptr;
}

// Bytes of one frame of the current format (the buffer size).
uint32_t FakeV4l2Camera::ImageSize() const {
  switch (pixelFormat_) {
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_YUV420:
      return bytesPerLine_ * height_ * 3 / 2;
    case V4L2_PIX_FMT_GREY:
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_UYVY:
      return bytesPerLine_ * height_;
    default:
      return width_ * height_ * 2;  // compressed
  }
}

std::vector<FakeV4l2Camera::ControlWrite> FakeV4l2Camera::ControlWrites() {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

int32_t FakeV4l2Camera::ControlValue(uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  Control* c = FindControl(id);
  return c != nullptr ? c->value : 0;
}

uint32_t FakeV4l2Camera::FramesServed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sequence_;
}

std::vector<std::pair<uint32_t, uint32_t>> FakeV4l2Camera::FormatsSet() {
  std::lock_guard<std::mutex> lock(mutex_);
  return formatsSet_;
}

FakeV4l2Camera::Control* FakeV4l2Camera::FindControl(uint32_t id) {
  for (Control& c : controls_) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

gboolean FakeV4l2Camera::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  auto* camera = static_cast<FakeV4l2Camera*>(self);
  std::lock_guard<std::mutex> lock(camera->mutex_);
  return camera->Handle(client) ? TRUE : FALSE;
}

uint32_t FakeV4l2Camera::WriteFrame(uint32_t index, bool damaged) {
  const size_t size = ImageSize();
  const bool given = !custom_.empty() || pixelFormat_ == V4L2_PIX_FMT_MJPEG;
  if (given || damaged) {
    const std::vector<uint8_t>& bytes = !custom_.empty() ? custom_ : jpeg_;
    const size_t used = damaged ? size : (bytes.size() < size ? bytes.size() : size);
    const std::vector<uint8_t> zeros(damaged ? used : 0, 0);
    const int fd = ::open(node_.c_str(), O_WRONLY);
    if (fd < 0) return 0;
    const ssize_t written = ::pwrite(fd, damaged ? zeros.data() : bytes.data(), used,
                                     static_cast<off_t>(index * bufferStride_));
    ::close(fd);
    return written == static_cast<ssize_t>(used) ? static_cast<uint32_t>(used) : 0;
  }
  if (frame_.size() != size) {
    frame_.resize(size);
    for (uint32_t y = 0; y < height_; ++y) {
      uint8_t* row = frame_.data() + static_cast<size_t>(y) * width_ * 2;
      for (uint32_t x = 0; x < width_; x += 2) {
        const uint8_t luma = y < height_ / 2 ? 235 : 16;
        uint8_t* p = row + 2 * x;
        p[0] = luma, p[1] = 128, p[2] = luma, p[3] = 128;
      }
    }
    frame_[0] = 81, frame_[1] = 90, frame_[2] = 81, frame_[3] = 240;  // red pair, top left
  }
  const int fd = ::open(node_.c_str(), O_WRONLY);
  if (fd < 0) return 0;
  const ssize_t written =
      ::pwrite(fd, frame_.data(), size, static_cast<off_t>(index * bufferStride_));
  (void)written;
  ::close(fd);
  return static_cast<uint32_t>(size);
}

bool FakeV4l2Camera::Handle(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* data = nullptr;
  auto fail = [&](int error) {
    umockdev_ioctl_client_complete(client, -1, error);
    return true;
  };
  auto done = [&] {
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  };
  switch (request) {
    case VIDIOC_QUERYCAP: {
      v4l2_capability cap;
      if (!Resolve(client, &cap, &data)) return fail(EFAULT);
      std::memset(&cap, 0, sizeof cap);
      CopyText(cap.driver, sizeof cap.driver, "uvcvideo");
      CopyText(cap.card, sizeof cap.card, "USB Iris Camera");
      cap.device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
      cap.capabilities = cap.device_caps | V4L2_CAP_DEVICE_CAPS;
      Reply(data, cap);
      return done();
    }
    case VIDIOC_ENUM_FMT: {
      v4l2_fmtdesc d;
      if (!Resolve(client, &d, &data)) return fail(EFAULT);
      if (d.index >= formats_.size() || d.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
      d.pixelformat = formats_[d.index].pixelFormat;
      const bool compressed = d.pixelformat == V4L2_PIX_FMT_MJPEG ||
                              d.pixelformat == V4L2_PIX_FMT_JPEG ||
                              d.pixelformat == V4L2_PIX_FMT_H264;
      d.flags = compressed ? V4L2_FMT_FLAG_COMPRESSED : 0;
      CopyText(d.description, sizeof d.description, "fake format");
      Reply(data, d);
      return done();
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      v4l2_frmsizeenum s;
      if (!Resolve(client, &s, &data)) return fail(EFAULT);
      const Format* f = FindFormat(s.pixel_format);
      if (f == nullptr || s.index >= f->sizes.size()) return fail(EINVAL);
      s.type = V4L2_FRMSIZE_TYPE_DISCRETE;
      s.discrete.width = f->sizes[s.index].first;
      s.discrete.height = f->sizes[s.index].second;
      Reply(data, s);
      return done();
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      v4l2_frmivalenum e;
      if (!Resolve(client, &e, &data)) return fail(EFAULT);
      const Format* f = FindFormat(e.pixel_format);
      if (f == nullptr || e.index >= f->intervals.size()) return fail(EINVAL);
      bool sized = false;
      for (const auto& size : f->sizes) sized |= size.first == e.width && size.second == e.height;
      if (!sized) return fail(EINVAL);
      e.type = V4L2_FRMIVAL_TYPE_DISCRETE;
      e.discrete.numerator = f->intervals[e.index].first;
      e.discrete.denominator = f->intervals[e.index].second;
      Reply(data, e);
      return done();
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
      v4l2_streamparm p;
      if (!Resolve(client, &p, &data)) return fail(EFAULT);
      if (p.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
      if (request == VIDIOC_S_PARM) {
        interval_ = {p.parm.capture.timeperframe.numerator,
                     p.parm.capture.timeperframe.denominator};
      }
      std::memset(&p.parm, 0, sizeof p.parm);
      p.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
      p.parm.capture.timeperframe.numerator = interval_.first != 0 ? interval_.first : 1;
      p.parm.capture.timeperframe.denominator = interval_.first != 0 ? interval_.second : 30;
      Reply(data, p);
      return done();
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT: {
      v4l2_format f;
      if (!Resolve(client, &f, &data)) return fail(EFAULT);
      if (f.type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
      if (request == VIDIOC_S_FMT) {
        if (mode_ == Mode::Busy || streaming_ || bufferCount_ != 0) return fail(EBUSY);
        const Format* format = FindFormat(f.fmt.pix.pixelformat);
        if (format == nullptr && !formats_.empty()) format = &formats_[0];
        if (format == nullptr || format->sizes.empty()) return fail(EINVAL);
        std::pair<uint32_t, uint32_t> size = format->sizes[0];
        for (const auto& s : format->sizes) {
          if (s.first == f.fmt.pix.width && s.second == f.fmt.pix.height) size = s;
        }
        pixelFormat_ = format->pixelFormat;
        width_ = size.first;
        height_ = size.second;
        uint32_t row = width_;  // GREY and the luma plane of NV12 and YU12
        if (pixelFormat_ == V4L2_PIX_FMT_YUYV || pixelFormat_ == V4L2_PIX_FMT_UYVY) row *= 2;
        if (pixelFormat_ == V4L2_PIX_FMT_RGB24 || pixelFormat_ == V4L2_PIX_FMT_BGR24) row *= 3;
        const bool compressed = pixelFormat_ == V4L2_PIX_FMT_MJPEG ||
                                pixelFormat_ == V4L2_PIX_FMT_JPEG ||
                                pixelFormat_ == V4L2_PIX_FMT_H264;
        bytesPerLine_ = compressed ? 0 : row + format->padding;
        formatsSet_.emplace_back(width_, height_);
      }
      std::memset(&f.fmt, 0, sizeof f.fmt);
      f.fmt.pix.width = width_;
      f.fmt.pix.height = height_;
      f.fmt.pix.pixelformat = pixelFormat_;
      f.fmt.pix.field = V4L2_FIELD_NONE;
      f.fmt.pix.bytesperline = bytesPerLine_;
      f.fmt.pix.sizeimage = ImageSize();
      Reply(data, f);
      return done();
    }
    case VIDIOC_REQBUFS: {
      v4l2_requestbuffers r;
      if (!Resolve(client, &r, &data)) return fail(EFAULT);
      if (r.memory != V4L2_MEMORY_MMAP) return fail(EINVAL);
      if (streaming_ || (mode_ == Mode::Busy && r.count != 0)) return fail(EBUSY);
      bufferCount_ = r.count > 4 ? 4 : r.count;
      r.count = bufferCount_;
      const size_t size = ImageSize();
      bufferStride_ = (size + kPage - 1) / kPage * kPage;
      queued_.assign(bufferCount_, false);
      if (bufferCount_ != 0 &&
          ::truncate(node_.c_str(), static_cast<off_t>(bufferStride_ * bufferCount_)) != 0) {
        return fail(ENOMEM);
      }
      Reply(data, r);
      return done();
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF: {
      v4l2_buffer b;
      if (!Resolve(client, &b, &data)) return fail(EFAULT);
      if (b.index >= bufferCount_ || b.memory != V4L2_MEMORY_MMAP) return fail(EINVAL);
      if (request == VIDIOC_QBUF) queued_[b.index] = true;
      b.length = ImageSize();
      b.m.offset = static_cast<uint32_t>(b.index * bufferStride_);
      b.flags = queued_[b.index] ? V4L2_BUF_FLAG_QUEUED : 0;
      Reply(data, b);
      return done();
    }
    case VIDIOC_DQBUF: {
      v4l2_buffer b;
      if (!Resolve(client, &b, &data)) return fail(EFAULT);
      if (!streaming_) return fail(EINVAL);
      if (mode_ == Mode::Unplugged && sequence_ >= kUnpluggedAfter) return fail(ENODEV);
      const int64_t now = g_get_monotonic_time();
      uint32_t index = bufferCount_;
      for (uint32_t i = 0; i < bufferCount_; ++i) {
        if (queued_[i]) {
          index = i;
          break;
        }
      }
      if (mode_ == Mode::NeverDelivers || index == bufferCount_ ||
          now - lastFrameUs_ < kFrameIntervalUs) {
        return fail(EAGAIN);
      }
      lastFrameUs_ = now;
      const bool damaged = errorEveryOther_ && sequence_ % 2 == 1;
      const uint32_t used = WriteFrame(index, damaged);
      queued_[index] = false;
      std::memset(&b, 0, sizeof b);
      b.index = index;
      b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      b.memory = V4L2_MEMORY_MMAP;
      b.bytesused = used;
      b.length = ImageSize();
      b.m.offset = static_cast<uint32_t>(index * bufferStride_);
      b.flags = V4L2_BUF_FLAG_DONE | (damaged ? V4L2_BUF_FLAG_ERROR : 0);
      b.sequence = sequence_++;
      b.timestamp.tv_sec = now / 1000000;
      b.timestamp.tv_usec = now % 1000000;
      Reply(data, b);
      return done();
    }
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF: {
      int type = 0;
      if (!Resolve(client, &type, &data)) return fail(EFAULT);
      if (type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return fail(EINVAL);
      streaming_ = request == VIDIOC_STREAMON;
      if (!streaming_) queued_.assign(bufferCount_, false);
      return done();
    }
    case VIDIOC_QUERYCTRL: {
      v4l2_queryctrl q;
      if (!Resolve(client, &q, &data)) return fail(EFAULT);
      const Control* c = FindControl(q.id);
      if (c == nullptr) return fail(EINVAL);
      q.type = q.id == V4L2_CID_EXPOSURE_AUTO ? V4L2_CTRL_TYPE_MENU : V4L2_CTRL_TYPE_INTEGER;
      q.minimum = c->minimum;
      q.maximum = c->maximum;
      q.step = 1;
      q.default_value = c->defaultValue;
      q.flags = 0;
      Reply(data, q);
      return done();
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
      v4l2_control c;
      if (!Resolve(client, &c, &data)) return fail(EFAULT);
      Control* control = FindControl(c.id);
      if (control == nullptr) return fail(EINVAL);
      if (request == VIDIOC_S_CTRL) {
        writes_.push_back({c.id, c.value});
        if (c.value < control->minimum || c.value > control->maximum) return fail(ERANGE);
        // This camera knows manual (1) and aperture priority (3) only.
        if (c.id == V4L2_CID_EXPOSURE_AUTO && c.value != 1 && c.value != 3) return fail(EINVAL);
        control->value = c.value;
      } else {
        c.value = control->value;
        Reply(data, c);
      }
      return done();
    }
    default:
      return fail(ENOTTY);
  }
}

}  // namespace ocuvant::capture::testing
