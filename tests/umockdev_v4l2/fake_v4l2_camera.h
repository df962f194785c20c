// A fake USB camera for umockdev: sysfs entries (USB device, interface, a capture node
// and a metadata node) and an ioctl handler serving formats, mmap buffers, streaming
// and controls. Frames are 4:2:2 YUYV: the top half white, the bottom half black, and
// the top row's first two pixels pure red; in MJPEG mode the JPEG the test gives; or,
// with formats set by the test, the frame bytes it gives.
#pragma once

#include <umockdev.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace ocuvant::capture::testing {

class FakeV4l2Camera {
 public:
  enum class Mode {
    Normal,         // YUYV 640 x 480 (current) and 1920 x 1080
    SmallOnly,      // YUYV 640 x 480 only
    NeverDelivers,  // streams, but no buffer is ever filled
    Unplugged,      // the device is gone after a few frames (ENODEV)
    MjpegOnly,      // MJPEG only, 640 x 480 (current) and 1920 x 1080; frames from SetJpeg
    Busy,           // another program streams: S_FMT and REQBUFS fail with EBUSY
  };
  // One pixel format with its sizes and frame intervals (numerator, denominator) and the
  // padding added to each row of an uncompressed frame.
  struct Format {
    uint32_t pixelFormat;
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    std::vector<std::pair<uint32_t, uint32_t>> intervals;
    uint32_t padding = 0;
  };
  struct ControlWrite {
    uint32_t id;
    int32_t value;
  };

  // Describes the device in the testbed and attaches the handler to /dev/video0.
  bool Install(UMockdevTestbed* testbed, std::string* error);
  void Reset(Mode mode);                    // before each test: no writes, default control values
  void SetJpeg(std::vector<uint8_t> jpeg);  // the frame MJPEG mode serves (none after Reset)
  void SetFormats(std::vector<Format> formats);  // replaces the mode's formats
  void SetFrame(std::vector<uint8_t> frame);     // served as is in every format
  // Every second frame is flagged V4L2_BUF_FLAG_ERROR and its bytes zeroed.
  void SetErrorEveryOtherFrame(bool on);
  uint32_t BytesPerLine();                      // of the format set last
  std::pair<uint32_t, uint32_t> IntervalSet();  // by S_PARM; (0, 0) when none

  std::vector<ControlWrite> ControlWrites();
  int32_t ControlValue(uint32_t id);
  uint32_t FramesServed();
  std::vector<std::pair<uint32_t, uint32_t>> FormatsSet();  // (width, height) per S_FMT

 private:
  static gboolean OnIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
  bool Handle(UMockdevIoctlClient* client);  // requires mutex_
  struct Control {
    uint32_t id;
    int32_t minimum, maximum, defaultValue, value;
  };
  Control* FindControl(uint32_t id);
  uint32_t WriteFrame(uint32_t index, bool damaged);  // bytes used
  const Format* FindFormat(uint32_t pixelFormat) const;
  uint32_t ImageSize() const;

  std::mutex mutex_;
  std::string node_;  // backing file of /dev/video0
  Mode mode_ = Mode::Normal;
  uint32_t width_ = 640, height_ = 480;
  uint32_t pixelFormat_ = 0;
  uint32_t bytesPerLine_ = 0;
  std::vector<Format> formats_;
  std::vector<uint8_t> custom_;  // SetFrame
  bool errorEveryOther_ = false;
  std::pair<uint32_t, uint32_t> interval_{0, 0};
  uint32_t bufferCount_ = 0;
  size_t bufferStride_ = 0;  // page-aligned distance between buffer offsets
  std::vector<bool> queued_;
  bool streaming_ = false;
  uint32_t sequence_ = 0;
  int64_t lastFrameUs_ = 0;
  std::vector<Control> controls_;
  std::vector<ControlWrite> writes_;
  std::vector<std::pair<uint32_t, uint32_t>> formatsSet_;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> jpeg_;
};

}  // namespace ocuvant::capture::testing
