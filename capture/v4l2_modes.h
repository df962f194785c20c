// The capture modes a V4L2 camera offers (pixel format, frame size, frame interval) and
// the choice among them: the wanted size at the highest frame rate, in a format the
// source can convert to BGR24.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ocuvant::capture {

struct V4l2Mode {
  uint32_t pixelFormat = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  // Frame interval in seconds as a fraction; 0/0 when the camera does not list it.
  uint32_t intervalNum = 0;
  uint32_t intervalDen = 0;
};

// Every format x size x interval the device lists (VIDIOC_ENUM_FMT, ENUM_FRAMESIZES,
// ENUM_FRAMEINTERVALS). A stepwise size range contributes 1920 x 1080 when it lies in
// the range, and its largest size; a stepwise interval range its shortest interval.
std::vector<V4l2Mode> EnumerateV4l2Modes(int fd);

// Whether frames of `pixelFormat` can be converted (YUYV, UYVY, NV12, YU12, GREY,
// RGB24, BGR24, MJPEG, JPEG).
bool ConvertibleFormat(uint32_t pixelFormat);
bool JpegFormat(uint32_t pixelFormat);

// True when `a` runs at a higher frame rate than `b` (an unlisted rate is the lowest).
bool FasterThan(const V4l2Mode& a, const V4l2Mode& b);

// The index of the fastest convertible mode of size width x height, ties going to the
// format converted with the least loss (uncompressed first); -1 when there is none.
int ChooseV4l2Mode(const std::vector<V4l2Mode>& modes, uint32_t width, uint32_t height);

// "YUYV", "MJPG", ... (the four characters of the code).
std::string FourCcText(uint32_t pixelFormat);
// "MJPG 1920x1080 30fps" (rates with up to two decimals; "?fps" when not listed).
std::string ModeText(const V4l2Mode& mode);
// The modes as one line, separated by ", ".
std::string ModesText(const std::vector<V4l2Mode>& modes);

}  // namespace ocuvant::capture
