#include "capture/v4l2_modes.h"

#include <linux/videodev2.h>

#include <cstdio>
#include <cstring>

#include "capture/v4l2_io.h"

namespace ocuvant::capture {
namespace {

constexpr uint32_t kWantedWidth = 1920;
constexpr uint32_t kWantedHeight = 1080;
constexpr uint32_t kMaxFormats = 64;
constexpr uint32_t kMaxSizes = 256;
constexpr uint32_t kMaxIntervals = 64;

// Formats in the order preferred when two run at the same rate.
constexpr uint32_t kPreference[] = {
    V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_YUYV,
    V4L2_PIX_FMT_UYVY,  V4L2_PIX_FMT_NV12,  V4L2_PIX_FMT_YUV420,
    V4L2_PIX_FMT_GREY,  V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_JPEG,
};

int PreferenceOf(uint32_t pixelFormat) {
  for (size_t i = 0; i < sizeof kPreference / sizeof kPreference[0]; ++i) {
    if (kPreference[i] == pixelFormat) return static_cast<int>(i);
  }
  return -1;
}

void AddIntervals(int fd, uint32_t pixelFormat, uint32_t width, uint32_t height,
                  std::vector<V4l2Mode>* out) {
  V4l2Mode mode{pixelFormat, width, height, 0, 0};
  bool listed = false;
  for (uint32_t i = 0; i < kMaxIntervals; ++i) {
    v4l2_frmivalenum e;
    std::memset(&e, 0, sizeof e);
    e.index = i;
    e.pixel_format = pixelFormat;
    e.width = width;
    e.height = height;
    if (V4l2Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &e) != 0) break;
    const v4l2_fract f = e.type == V4L2_FRMIVAL_TYPE_DISCRETE ? e.discrete : e.stepwise.min;
    if (f.numerator == 0 || f.denominator == 0) continue;
    mode.intervalNum = f.numerator;
    mode.intervalDen = f.denominator;
    out->push_back(mode);
    listed = true;
    if (e.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
  }
  if (!listed) out->push_back(mode);
}

}  // namespace

bool ConvertibleFormat(uint32_t pixelFormat) {
  return PreferenceOf(pixelFormat) >= 0;
}

bool JpegFormat(uint32_t pixelFormat) {
  return pixelFormat == V4L2_PIX_FMT_MJPEG || pixelFormat == V4L2_PIX_FMT_JPEG;
}

std::vector<V4l2Mode> EnumerateV4l2Modes(int fd) {
  std::vector<V4l2Mode> modes;
  for (uint32_t f = 0; f < kMaxFormats; ++f) {
    v4l2_fmtdesc d;
    std::memset(&d, 0, sizeof d);
    d.index = f;
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (V4l2Ioctl(fd, VIDIOC_ENUM_FMT, &d) != 0) break;
    for (uint32_t s = 0; s < kMaxSizes; ++s) {
      v4l2_frmsizeenum e;
      std::memset(&e, 0, sizeof e);
      e.index = s;
      e.pixel_format = d.pixelformat;
      if (V4l2Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &e) != 0) break;
      if (e.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        AddIntervals(fd, d.pixelformat, e.discrete.width, e.discrete.height, &modes);
        continue;
      }
      const v4l2_frmsize_stepwise& w = e.stepwise;
      const uint32_t sw = w.step_width ? w.step_width : 1, sh = w.step_height ? w.step_height : 1;
      if (kWantedWidth >= w.min_width && kWantedWidth <= w.max_width &&
          kWantedHeight >= w.min_height && kWantedHeight <= w.max_height &&
          (kWantedWidth - w.min_width) % sw == 0 && (kWantedHeight - w.min_height) % sh == 0) {
        AddIntervals(fd, d.pixelformat, kWantedWidth, kWantedHeight, &modes);
      }
      if (w.max_width != kWantedWidth || w.max_height != kWantedHeight) {
        AddIntervals(fd, d.pixelformat, w.max_width, w.max_height, &modes);
      }
      break;  // a stepwise range is the only entry
    }
  }
  return modes;
}

bool FasterThan(const V4l2Mode& a, const V4l2Mode& b) {
  if (a.intervalDen == 0) return false;
  if (b.intervalDen == 0) return true;
  // a.num / a.den < b.num / b.den
  return static_cast<uint64_t>(a.intervalNum) * b.intervalDen <
         static_cast<uint64_t>(b.intervalNum) * a.intervalDen;
}

int ChooseV4l2Mode(const std::vector<V4l2Mode>& modes, uint32_t width, uint32_t height) {
  int best = -1;
  for (size_t i = 0; i < modes.size(); ++i) {
    const V4l2Mode& m = modes[i];
    if (m.width != width || m.height != height || !ConvertibleFormat(m.pixelFormat)) continue;
    if (best < 0) {
      best = static_cast<int>(i);
      continue;
    }
    const V4l2Mode& b = modes[static_cast<size_t>(best)];
    if (FasterThan(m, b) ||
        (!FasterThan(b, m) && PreferenceOf(m.pixelFormat) < PreferenceOf(b.pixelFormat))) {
      best = static_cast<int>(i);
    }
  }
  return best;
}

std::string FourCcText(uint32_t pixelFormat) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((pixelFormat >> (8 * i)) & 0xff);
    if (c != ' ' && c != '\0') s += (c >= 0x21 && c <= 0x7e) ? c : '?';
  }
  return s;
}

std::string ModeText(const V4l2Mode& mode) {
  char rate[32];
  if (mode.intervalNum == 0 || mode.intervalDen == 0) {
    std::snprintf(rate, sizeof rate, "?fps");
  } else if (mode.intervalDen % mode.intervalNum == 0) {
    std::snprintf(rate, sizeof rate, "%ufps", mode.intervalDen / mode.intervalNum);
  } else {
    std::snprintf(rate, sizeof rate, "%.2ffps",
                  static_cast<double>(mode.intervalDen) / mode.intervalNum);
  }
  char text[96];
  std::snprintf(text, sizeof text, "%s %ux%u %s", FourCcText(mode.pixelFormat).c_str(), mode.width,
                mode.height, rate);
  return text;
}

std::string ModesText(const std::vector<V4l2Mode>& modes) {
  std::string s;
  for (const V4l2Mode& m : modes) {
    if (!s.empty()) s += ", ";
    s += ModeText(m);
  }
  return s.empty() ? std::string("(none)") : s;
}

}  // namespace ocuvant::capture
