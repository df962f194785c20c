// Camera modes and pixel formats through the fake camera: the fastest 1920 x 1080 mode is
// chosen and its rate set; every listed format (with padded rows where it has rows)
// arrives as bottom-up BGR24 equal to a reference conversion; damaged, undecodable and
// warned-about frames; busy and unusable devices.
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/capture_registry.h"
#include "capture/capture_results.h"
#include "capture/capture_video.h"
#include "capture/v4l2_source.h"
#include "fake_v4l2_camera.h"
#include "test_support.h"

namespace ocuvant::capture::testing {
namespace {

constexpr uint32_t kW = 1920, kH = 1080;
constexpr size_t kRow = kW * 3;

using Sizes = std::vector<std::pair<uint32_t, uint32_t>>;
const Sizes kFullHd = {{kW, kH}};
const std::vector<std::pair<uint32_t, uint32_t>> k30 = {{1, 30}};

// Collects the frames of a source: all of them must equal the first.
class Sink final : public FrameSink {
 public:
  int32_t BufferCB(double, uint8_t* buffer, long length) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (first_.empty()) {
      first_.assign(buffer, buffer + length);
    } else if (first_.size() != static_cast<size_t>(length) ||
               !std::equal(first_.begin(), first_.end(), buffer)) {
      differing_++;
    }
    frames_++;
    return 0;
  }
  void StreamFailed(const char*) override {}
  int Frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  int Differing() {
    std::lock_guard<std::mutex> lock(mutex_);
    return differing_;
  }
  std::vector<uint8_t> First() {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_;
  }

 private:
  std::mutex mutex_;
  std::vector<uint8_t> first_;
  int frames_ = 0, differing_ = 0;
};

// The test picture in YUV: a luma ramp with neutral chroma, two coloured blocks (on even
// coordinates, so 4:2:0 and 4:2:2 sampling keep them whole).
int Luma(uint32_t x, uint32_t y) {
  return static_cast<int>((x * 7 + y * 13) % 256);
}
void Chroma(uint32_t x, uint32_t y, int* u, int* v) {
  *u = *v = 128;
  if (x < 256 && y < 128) *u = 100, *v = 170;
  if (x >= 1600 && y >= 900) *u = 160, *v = 96;
}
// Packed RGB test picture.
void Rgb(uint32_t x, uint32_t y, int* r, int* g, int* b) {
  *r = Luma(x, y);
  *g = static_cast<int>((x * 3 + y) % 256);
  *b = static_cast<int>((x + y * 5) % 256);
}

// The raw frame of `pf` with rows `bpl` bytes apart (padding bytes 0xee).
std::vector<uint8_t> RawFrame(uint32_t pf, uint32_t bpl) {
  std::vector<uint8_t> f;
  int u = 0, v = 0;
  switch (pf) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_UYVY: {
      f.assign(static_cast<size_t>(bpl) * kH, 0xee);
      const bool yuyv = pf == V4L2_PIX_FMT_YUYV;
      for (uint32_t y = 0; y < kH; ++y) {
        for (uint32_t x = 0; x < kW; x += 2) {
          uint8_t* p = &f[static_cast<size_t>(y) * bpl + 2 * x];
          Chroma(x, y, &u, &v);
          p[yuyv ? 0 : 1] = static_cast<uint8_t>(Luma(x, y));
          p[yuyv ? 2 : 3] = static_cast<uint8_t>(Luma(x + 1, y));
          p[yuyv ? 1 : 0] = static_cast<uint8_t>(u);
          p[yuyv ? 3 : 2] = static_cast<uint8_t>(v);
        }
      }
      break;
    }
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_YUV420: {
      f.assign(static_cast<size_t>(bpl) * kH * 3 / 2, 0xee);
      for (uint32_t y = 0; y < kH; ++y) {
        for (uint32_t x = 0; x < kW; ++x) f[static_cast<size_t>(y) * bpl + x] = Luma(x, y);
      }
      uint8_t* chroma = &f[static_cast<size_t>(bpl) * kH];
      const size_t half = bpl / 2;
      for (uint32_t cy = 0; cy < kH / 2; ++cy) {
        for (uint32_t cx = 0; cx < kW / 2; ++cx) {
          Chroma(2 * cx, 2 * cy, &u, &v);
          if (pf == V4L2_PIX_FMT_NV12) {
            chroma[cy * bpl + 2 * cx] = static_cast<uint8_t>(u);
            chroma[cy * bpl + 2 * cx + 1] = static_cast<uint8_t>(v);
          } else {
            chroma[cy * half + cx] = static_cast<uint8_t>(u);
            chroma[half * (kH / 2) + cy * half + cx] = static_cast<uint8_t>(v);
          }
        }
      }
      break;
    }
    case V4L2_PIX_FMT_GREY:
      f.assign(static_cast<size_t>(bpl) * kH, 0xee);
      for (uint32_t y = 0; y < kH; ++y) {
        for (uint32_t x = 0; x < kW; ++x) f[static_cast<size_t>(y) * bpl + x] = Luma(x, y);
      }
      break;
    default: {  // RGB24, BGR24
      f.assign(static_cast<size_t>(bpl) * kH, 0xee);
      const bool rgb = pf == V4L2_PIX_FMT_RGB24;
      for (uint32_t y = 0; y < kH; ++y) {
        for (uint32_t x = 0; x < kW; ++x) {
          int r = 0, g = 0, b = 0;
          Rgb(x, y, &r, &g, &b);
          uint8_t* p = &f[static_cast<size_t>(y) * bpl + 3 * x];
          p[0] = static_cast<uint8_t>(rgb ? r : b);
          p[1] = static_cast<uint8_t>(g);
          p[2] = static_cast<uint8_t>(rgb ? b : r);
        }
      }
    }
  }
  return f;
}

// BGR of picture pixel (x, y) by the BT.601 full-range (JFIF) rule, and how far a
// conversion may be from it: exact where the chroma is neutral, and within the
// fixed-point approximation of the coefficients where it is not.
void Reference(uint32_t pf, uint32_t x, uint32_t y, int bgr[3], int* tolerance) {
  *tolerance = 0;
  if (pf == V4L2_PIX_FMT_RGB24 || pf == V4L2_PIX_FMT_BGR24) {
    Rgb(x, y, &bgr[2], &bgr[1], &bgr[0]);
    return;
  }
  const int l = Luma(x, y);
  int u = 128, v = 128;
  if (pf != V4L2_PIX_FMT_GREY) Chroma(x, y, &u, &v);
  auto clip = [](double d) { return static_cast<int>(std::lround(d < 0 ? 0 : d > 255 ? 255 : d)); };
  bgr[0] = clip(l + 1.772 * (u - 128));
  bgr[1] = clip(l - 0.344136 * (u - 128) - 0.714136 * (v - 128));
  bgr[2] = clip(l + 1.402 * (v - 128));
  if (u != 128 || v != 128) *tolerance = 10;
}

// Compares a bottom-up frame with the reference; describes the first difference.
::testing::AssertionResult MatchesReference(uint32_t pf, const std::vector<uint8_t>& frame) {
  if (frame.size() != kRow * kH) return ::testing::AssertionFailure() << "size " << frame.size();
  for (uint32_t y = 0; y < kH; ++y) {
    const uint8_t* row = &frame[static_cast<size_t>(kH - 1 - y) * kRow];
    for (uint32_t x = 0; x < kW; ++x) {
      int want[3], tolerance = 0;
      Reference(pf, x, y, want, &tolerance);
      for (int c = 0; c < 3; ++c) {
        if (std::abs(row[3 * x + c] - want[c]) > tolerance) {
          return ::testing::AssertionFailure()
                 << "(" << x << ", " << y << ") channel " << c << " is " << int{row[3 * x + c]}
                 << ", reference " << want[c] << " +- " << tolerance;
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Jpeg(int quality, int subsampling) {
  std::vector<uint8_t> bgr(kRow * kH);
  for (uint32_t y = 0; y < kH; ++y) {
    for (uint32_t x = 0; x < kW; ++x) {
      int r = 0, g = 0, b = 0;
      Rgb(x / 16, y / 16, &r, &g, &b);  // 16-pixel blocks
      uint8_t* p = &bgr[y * kRow + 3 * x];
      p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g),
      p[2] = static_cast<uint8_t>(r);
    }
  }
  tjhandle h = tjInitCompress();
  unsigned char* data = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> out;
  if (tjCompress2(h, bgr.data(), kW, kRow, kH, TJPF_BGR, &data, &size, subsampling, quality, 0) ==
      0) {
    out.assign(data, data + size);
  }
  tjFree(data);
  tjDestroy(h);
  return out;
}

// The JPEG decoded top-down by TurboJPEG itself, then turned bottom-up.
std::vector<uint8_t> JpegReference(std::vector<uint8_t> jpeg) {
  std::vector<uint8_t> top(kRow * kH), bottomUp(kRow * kH);
  tjhandle h = tjInitDecompress();
  tjDecompress2(h, jpeg.data(), jpeg.size(), top.data(), kW, kRow, kH, TJPF_BGR, 0);
  tjDestroy(h);
  for (uint32_t y = 0; y < kH; ++y) {
    std::copy_n(&top[y * kRow], kRow, &bottomUp[(kH - 1 - y) * kRow]);
  }
  return bottomUp;
}

class V4l2FormatsTest : public ::testing::Test {
 protected:
  void SetUp() override { g_camera.Reset(FakeV4l2Camera::Mode::Normal); }
  // Opens the node directly and streams until `frames` frames have been served.
  std::unique_ptr<V4l2Source> Stream(Sink* sink, uint32_t frames) {
    auto source = V4l2Source::OpenNode("/dev/video0");
    if (!source) return nullptr;
    source->RequireFrameSize(kW, kH);
    int32_t w = 0, h = 0;
    if (source->Connect(&w, &h) != kCaptureOk || w != static_cast<int32_t>(kW)) return nullptr;
    if (!source->Start(sink, nullptr)) return nullptr;
    WaitFor([&] { return g_camera.FramesServed() >= frames; });
    source->Stop();
    return source;
  }
  Recorder recorder_;
};

TEST_F(V4l2FormatsTest, ChoosesTheFastestFullHdModeAndSetsItsRate) {
  // YUYV at 1080p manages 5 frames per second over USB 2; MJPEG 30; 720p NV12 is faster
  // but the wrong size.
  g_camera.SetFormats({{V4L2_PIX_FMT_YUYV, {{640, 480}, {kW, kH}}, {{1, 5}}, 0},
                       {V4L2_PIX_FMT_MJPEG, {{640, 480}, {kW, kH}}, {{1, 15}, {1, 30}}, 0},
                       {V4L2_PIX_FMT_NV12, {{1280, 720}}, {{1, 60}}, 0}});
  g_camera.SetJpeg(Jpeg(90, TJSAMP_422));
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session.Close();
  ASSERT_EQ(g_camera.FormatsSet().size(), 1u);
  EXPECT_EQ(g_camera.FormatsSet()[0], (std::pair<uint32_t, uint32_t>(kW, kH)));
  EXPECT_EQ(g_camera.IntervalSet(), (std::pair<uint32_t, uint32_t>(1, 30)));
  EXPECT_TRUE(recorder_.HasLog("capture|视频格式:MJPG 1920x1080 30fps"));

  // At equal rates the uncompressed format wins; a rate the camera does not list loses.
  g_camera.Reset(FakeV4l2Camera::Mode::Normal);
  g_camera.SetFormats({{V4L2_PIX_FMT_MJPEG, kFullHd, {{1, 30}}, 0},
                       {V4L2_PIX_FMT_H264, kFullHd, {{1, 60}}, 0},
                       {V4L2_PIX_FMT_UYVY, kFullHd, {{1, 30}}, 0},
                       {V4L2_PIX_FMT_GREY, kFullHd, {}, 0}});
  auto source = V4l2Source::OpenNode("/dev/video0");
  ASSERT_TRUE(source);
  int32_t w = 0, h = 0;
  ASSERT_EQ(source->Connect(&w, &h), kCaptureOk);
  EXPECT_EQ(source->PixelFormat(), static_cast<uint32_t>(V4L2_PIX_FMT_UYVY));
  EXPECT_EQ(ModeText(source->Mode()), "UYVY 1920x1080 30fps");
}

TEST_F(V4l2FormatsTest, ModesAreListedWithTheChosenOneMarked) {
  g_camera.SetFormats({{V4L2_PIX_FMT_YUYV, {{640, 480}, {kW, kH}}, {{1, 30}, {1, 5}}, 0},
                       {V4L2_PIX_FMT_H264, kFullHd, {{1, 60}}, 0},
                       {V4L2_PIX_FMT_MJPEG, kFullHd, {{1001, 30000}}, 0}});
  const std::vector<DeviceDescriptor> devices = EnumerateCaptureDevices();
  ASSERT_EQ(devices.size(), 1u);
  const std::vector<std::string> modes = devices[0].backend->DescribeModes(devices[0]);
  const std::vector<std::string> want = {"YUYV 640x480 30fps",
                                         "YUYV 640x480 5fps",
                                         "YUYV 1920x1080 30fps",
                                         "YUYV 1920x1080 5fps",
                                         "H264 1920x1080 60fps (not convertible)",
                                         "MJPG 1920x1080 29.97fps"};
  ASSERT_EQ(modes.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(modes[i], want[i] + (i == 2 ? " *" : "")) << i;
  }
  EXPECT_TRUE(g_camera.FormatsSet().empty());  // listing changes nothing
}

TEST_F(V4l2FormatsTest, CamerasWithoutAUsableFullHdModeCannotConnect) {
  const std::vector<std::pair<std::vector<FakeV4l2Camera::Format>, std::string>> cases = {
      {{{V4L2_PIX_FMT_YUYV, {{1280, 720}, {640, 480}}, {{1, 30}, {2, 15}}, 0}},
       "YUYV 1280x720 30fps, YUYV 1280x720 7.50fps, YUYV 640x480 30fps, YUYV 640x480 7.50fps"},
      {{{V4L2_PIX_FMT_H264, kFullHd, k30, 0}}, "H264 1920x1080 30fps"},  // no converter
  };
  for (const auto& [formats, offered] : cases) {
    g_camera.Reset(FakeV4l2Camera::Mode::Normal);
    g_camera.SetFormats(formats);
    CCaptureVideo session;
    EXPECT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), kCaptureErrorCannotConnect);
    EXPECT_TRUE(recorder_.HasLog("capture|没有可用的1920x1080视频格式,设备提供:" + offered))
        << offered;
    EXPECT_TRUE(g_camera.FormatsSet().empty());
  }
}

TEST_F(V4l2FormatsTest, BusyDeviceCannotConnectAndSaysWhy) {
  g_camera.Reset(FakeV4l2Camera::Mode::Busy);
  CCaptureVideo session;
  EXPECT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), kCaptureErrorCannotConnect);
  EXPECT_TRUE(recorder_.HasLog("capture|设置视频格式失败:Device or resource busy"));
  // The session can be closed and opened again once the device is free.
  session.Close();
  g_camera.Reset(FakeV4l2Camera::Mode::Normal);
  EXPECT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session.Close();
}

struct FormatCase {
  uint32_t pixelFormat;
  uint32_t padding;  // bytes after each row
};

class V4l2PixelFormatTest : public V4l2FormatsTest,
                            public ::testing::WithParamInterface<FormatCase> {};

TEST_P(V4l2PixelFormatTest, FullHdFramesMatchTheReferenceConversion) {
  const FormatCase c = GetParam();
  g_camera.SetFormats({{c.pixelFormat, kFullHd, k30, c.padding}});
  const bool jpeg = c.pixelFormat == V4L2_PIX_FMT_MJPEG || c.pixelFormat == V4L2_PIX_FMT_JPEG;
  std::vector<uint8_t> reference;
  if (jpeg) {
    const std::vector<uint8_t> encoded = Jpeg(85, TJSAMP_420);
    ASSERT_FALSE(encoded.empty());
    g_camera.SetFrame(encoded);
    reference = JpegReference(encoded);
  }
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  EXPECT_EQ(session.FrameWidth(), static_cast<int32_t>(kW));
  if (!jpeg) g_camera.SetFrame(RawFrame(c.pixelFormat, g_camera.BytesPerLine()));
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(WaitFor([&] { return recorder_.Frames() >= 2; }));
  session.Close();
  const std::vector<uint8_t> frame = recorder_.First();
  if (jpeg) {
    EXPECT_TRUE(frame == reference);
  } else {
    EXPECT_TRUE(MatchesReference(c.pixelFormat, frame));
  }
  EXPECT_FALSE(recorder_.HasLog("capture|丢弃不完整的视频帧"));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, V4l2PixelFormatTest,
    ::testing::Values(FormatCase{V4L2_PIX_FMT_YUYV, 0}, FormatCase{V4L2_PIX_FMT_YUYV, 96},
                      FormatCase{V4L2_PIX_FMT_UYVY, 64}, FormatCase{V4L2_PIX_FMT_NV12, 128},
                      FormatCase{V4L2_PIX_FMT_YUV420, 128}, FormatCase{V4L2_PIX_FMT_GREY, 32},
                      FormatCase{V4L2_PIX_FMT_RGB24, 12}, FormatCase{V4L2_PIX_FMT_BGR24, 0},
                      FormatCase{V4L2_PIX_FMT_MJPEG, 0}, FormatCase{V4L2_PIX_FMT_JPEG, 0}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
      return FourCcText(info.param.pixelFormat) + "_pad" + std::to_string(info.param.padding);
    });

TEST_F(V4l2FormatsTest, FramesFlaggedAsDamagedAreDroppedAndCounted) {
  g_camera.SetFormats({{V4L2_PIX_FMT_GREY, kFullHd, k30, 0}});
  g_camera.SetFrame(RawFrame(V4L2_PIX_FMT_GREY, kW));
  g_camera.SetErrorEveryOtherFrame(true);  // and zeroes those frames
  Sink sink;
  auto source = Stream(&sink, 8);
  ASSERT_TRUE(source);
  EXPECT_GE(sink.Frames(), 3);
  EXPECT_EQ(sink.Differing(), 0);  // no zeroed frame got through
  EXPECT_TRUE(MatchesReference(V4L2_PIX_FMT_GREY, sink.First()));
  EXPECT_GE(source->DroppedFrames(), 3u);
  EXPECT_TRUE(recorder_.HasLog("capture|视频帧带有错误标志"));
}

TEST_F(V4l2FormatsTest, JpegWithWarningsIsDeliveredAndUndecodableIsDropped) {
  // Cut off before its end: libjpeg warns (premature end) and fills the rest.
  std::vector<uint8_t> jpeg = Jpeg(85, TJSAMP_420);
  jpeg.resize(jpeg.size() * 2 / 3);
  g_camera.SetFormats({{V4L2_PIX_FMT_MJPEG, kFullHd, k30, 0}});
  g_camera.SetFrame(jpeg);
  Sink sink;
  auto source = Stream(&sink, 4);
  ASSERT_TRUE(source);
  EXPECT_GE(sink.Frames(), 2);
  EXPECT_GE(source->WarnedFrames(), 2u);
  EXPECT_EQ(source->DroppedFrames(), 0u);
  EXPECT_TRUE(recorder_.HasLog("capture|视频帧解码警告:"));

  g_camera.Reset(FakeV4l2Camera::Mode::Normal);
  g_camera.SetFormats({{V4L2_PIX_FMT_JPEG, kFullHd, k30, 0}});
  g_camera.SetFrame(std::vector<uint8_t>(20000, 0x5a));
  Sink nothing;
  source = Stream(&nothing, 4);
  ASSERT_TRUE(source);
  EXPECT_EQ(nothing.Frames(), 0);
  EXPECT_GE(source->DroppedFrames(), 3u);
}

}  // namespace
}  // namespace ocuvant::capture::testing
