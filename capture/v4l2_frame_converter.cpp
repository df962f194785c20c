#include "capture/v4l2_frame_converter.h"

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <cerrno>
#include <cstring>

#include "capture/v4l2_io.h"
#include "capture/v4l2_modes.h"

namespace ocuvant::capture {
namespace {

// libv4lconvert reaches the device through these (plain ioctl, so the calls go where
// every other ioctl of the source goes).
// Without a device (fd < 0: converting frames read from elsewhere) libv4lconvert is told
// of a plain capture device and nothing else.
int DeviceIoctl(void*, int fd, unsigned long request, void* arg) {
  if (fd >= 0) return V4l2Ioctl(fd, request, arg);
  if (request != VIDIOC_QUERYCAP) {
    errno = ENOTTY;
    return -1;
  }
  auto* cap = static_cast<v4l2_capability*>(arg);
  std::memset(cap, 0, sizeof *cap);
  std::memcpy(cap->driver, "ocuvant", 8);
  cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
  return 0;
}
ssize_t NoRead(void*, int, void*, size_t) {
  errno = EINVAL;
  return -1;
}
ssize_t NoWrite(void*, int, const void*, size_t) {
  errno = EINVAL;
  return -1;
}
libv4l_dev_ops MakeDeviceOps() {
  libv4l_dev_ops ops;
  std::memset(&ops, 0, sizeof ops);  // the reserved members stay null
  ops.ioctl = DeviceIoctl;
  ops.read = NoRead;
  ops.write = NoWrite;
  return ops;
}
const libv4l_dev_ops kDeviceOps = MakeDeviceOps();

// Bytes of one pixel row (the luma plane for planar formats).
uint32_t RowBytes(uint32_t pixelFormat, uint32_t width) {
  switch (pixelFormat) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_UYVY:
      return 2 * width;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
      return 3 * width;
    default:
      return width;  // GREY, NV12, YU12
  }
}

}  // namespace

V4l2FrameConverter::~V4l2FrameConverter() {
  if (jpeg_ != nullptr) tjDestroy(static_cast<tjhandle>(jpeg_));
  if (convert_ != nullptr) v4lconvert_destroy(convert_);
}

bool V4l2FrameConverter::Setup(int fd, uint32_t pixelFormat, uint32_t width, uint32_t height,
                               uint32_t bytesPerLine, std::string* error) {
  pixelFormat_ = pixelFormat;
  width_ = width;
  height_ = height;
  planes_.clear();
  if (!ConvertibleFormat(pixelFormat)) {
    *error = "no converter for " + FourCcText(pixelFormat);
    return false;
  }
  if (JpegFormat(pixelFormat)) {
    frameBytes_ = 1;
    if (jpeg_ == nullptr) jpeg_ = tjInitDecompress();
    if (jpeg_ == nullptr) *error = "TurboJPEG cannot be initialised";
    return jpeg_ != nullptr;
  }
  const bool subsampled = pixelFormat == V4L2_PIX_FMT_NV12 || pixelFormat == V4L2_PIX_FMT_YUV420;
  const bool pairs =
      subsampled || pixelFormat == V4L2_PIX_FMT_YUYV || pixelFormat == V4L2_PIX_FMT_UYVY;
  if ((pairs && width % 2 != 0) || (subsampled && height % 2 != 0)) {
    *error = FourCcText(pixelFormat) + " needs an even frame size";
    return false;
  }
  const size_t row = RowBytes(pixelFormat, width);
  const size_t stride = bytesPerLine == 0 ? row : bytesPerLine;
  if (stride < row || (pixelFormat == V4L2_PIX_FMT_YUV420 && stride % 2 != 0)) {
    *error = "bytesperline too small for " + FourCcText(pixelFormat);
    return false;
  }
  planes_.push_back({0, stride, row, height});
  if (pixelFormat == V4L2_PIX_FMT_NV12) {
    planes_.push_back({stride * height, stride, row, height / 2});
  } else if (pixelFormat == V4L2_PIX_FMT_YUV420) {
    const size_t chroma = stride / 2 * (height / 2);
    planes_.push_back({stride * height, stride / 2, row / 2, height / 2});
    planes_.push_back({stride * height + chroma, stride / 2, row / 2, height / 2});
  }
  size_t tight = 0;
  frameBytes_ = 0;
  for (const Plane& p : planes_) {
    tight += p.rowBytes * p.rows;
    frameBytes_ = p.offset + p.stride * (p.rows - 1) + p.rowBytes;
  }
  staging_.assign(tight, 0);
  if (convert_ == nullptr) {
    convert_ = v4lconvert_create_with_dev_ops(fd, nullptr, &kDeviceOps);
    if (convert_ == nullptr) {
      *error = "libv4lconvert cannot be initialised";
      return false;
    }
  }
  return true;
}

V4l2FrameConverter::Outcome V4l2FrameConverter::Convert(const uint8_t* data, size_t used,
                                                        uint8_t* bgr, size_t bgrStride,
                                                        std::string* warning) {
  const int w = static_cast<int>(width_), h = static_cast<int>(height_);
  if (jpeg_ != nullptr && JpegFormat(pixelFormat_)) {
    auto* handle = static_cast<tjhandle>(jpeg_);
    int jw = 0, jh = 0, subsampling = 0, colorspace = 0;
    auto* jpeg = const_cast<uint8_t*>(data);  // TurboJPEG 2.x takes a non-const source
    const auto size = static_cast<unsigned long>(used);
    if (tjDecompressHeader3(handle, jpeg, size, &jw, &jh, &subsampling, &colorspace) != 0) {
      *warning = tjGetErrorStr2(handle);
      return Outcome::Failed;
    }
    if (jw != w || jh != h) {
      *warning = "JPEG of another size";
      return Outcome::Failed;
    }
    if (tjDecompress2(handle, jpeg, size, bgr, w, static_cast<int>(bgrStride), h, TJPF_BGR,
                      TJFLAG_BOTTOMUP) == 0) {
      return Outcome::Converted;
    }
    *warning = tjGetErrorStr2(handle);
    // A warning (a truncated or slightly damaged stream) still gives a whole picture.
    return tjGetErrorCode(handle) == TJERR_WARNING ? Outcome::ConvertedWithWarning
                                                   : Outcome::Failed;
  }
  if (convert_ == nullptr || used < frameBytes_) {
    *warning = "short frame";
    return Outcome::Failed;
  }
  uint8_t* out = staging_.data();
  for (const Plane& p : planes_) {
    for (uint32_t r = 0; r < p.rows; ++r) {
      std::memcpy(out + static_cast<size_t>(r) * p.rowBytes,
                  data + p.offset + static_cast<size_t>(p.rows - 1 - r) * p.stride, p.rowBytes);
    }
    out += p.rowBytes * p.rows;
  }
  v4l2_format src;
  std::memset(&src, 0, sizeof src);
  src.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  src.fmt.pix.width = width_;
  src.fmt.pix.height = height_;
  src.fmt.pix.pixelformat = pixelFormat_;
  src.fmt.pix.field = V4L2_FIELD_NONE;
  src.fmt.pix.bytesperline = static_cast<uint32_t>(planes_[0].rowBytes);
  src.fmt.pix.sizeimage = static_cast<uint32_t>(staging_.size());
  v4l2_format dst = src;
  dst.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
  dst.fmt.pix.bytesperline = 3 * width_;
  dst.fmt.pix.sizeimage = 3 * width_ * height_;
  const size_t tightRow = 3 * static_cast<size_t>(width_);
  const bool direct = bgrStride == tightRow;
  if (!direct && topDown_.size() != tightRow * height_) topDown_.assign(tightRow * height_, 0);
  uint8_t* target = direct ? bgr : topDown_.data();
  const int rc =
      v4lconvert_convert(convert_, &src, &dst, staging_.data(), static_cast<int>(staging_.size()),
                         target, static_cast<int>(tightRow * height_));
  if (rc < 0) {
    *warning = v4lconvert_get_error_message(convert_);
    return Outcome::Failed;
  }
  if (!direct) {
    for (int r = 0; r < h; ++r) {
      std::memcpy(bgr + static_cast<size_t>(r) * bgrStride, topDown_.data() + r * tightRow,
                  tightRow);
    }
  }
  return Outcome::Converted;
}

}  // namespace ocuvant::capture
