// The V4L2 backend against the fake camera: enumeration and device paths, streaming of
// converted frames, camera properties on the ioctls sent, and failing devices.
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>
#include <umockdev.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/capture_hooks.h"
#include "capture/capture_registry.h"
#include "capture/capture_results.h"
#include "capture/capture_video.h"
#include "fake_v4l2_camera.h"
#include "test_support.h"

namespace ocuvant::capture::testing {
namespace {

const char kExpectedPath[] =
    "\\\\?\\usb#vid_0c45&pid_6366&mi_00#sn0042#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

class V4l2BackendTest : public ::testing::Test {
 protected:
  void SetUp() override { g_camera.Reset(FakeV4l2Camera::Mode::Normal); }
  std::vector<FakeV4l2Camera::ControlWrite> WritesOf(uint32_t id) {
    std::vector<FakeV4l2Camera::ControlWrite> out;
    for (const auto& w : g_camera.ControlWrites()) {
      if (w.id == id) out.push_back(w);
    }
    return out;
  }
  Recorder recorder_;
  CCaptureVideo session_;
};

TEST_F(V4l2BackendTest, EnumeratesTheCaptureNodeWithAWindowsStylePath) {
  std::string text;
  EXPECT_EQ(session_.EnumDevices(&text, true), 1);  // the metadata node is left out
  EXPECT_EQ(text, "USB Iris Camera");
  EXPECT_EQ(session_.EnumDevices(&text, false), 1);
  EXPECT_EQ(text, kExpectedPath);
  EXPECT_EQ(session_.FindDeviceByPath("\\usb#vid_0c45&pid_6366"), 0);  // built-in fragment
  EXPECT_EQ(session_.FindDeviceByPath("usb#vid_0C45"), -2);
}

TEST_F(V4l2BackendTest, CameraWithoutFullHdServesOtherRoutesAtItsOwnSize) {
  g_camera.Reset(FakeV4l2Camera::Mode::SmallOnly);
  // The iris pipeline needs 1920 x 1080: the open fails and names what the camera has.
  EXPECT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), kCaptureErrorCannotConnect);
  EXPECT_TRUE(recorder_.HasLog("capture|没有可用的1920x1080视频格式,设备提供:YUYV 640x480 30fps"));
  session_.Close();
  // An infrared face camera may keep its own size.
  ASSERT_EQ(session_.Open(0, nullptr, FaceFrames, "InfraredFace"), 0);
  EXPECT_EQ(session_.FrameWidth(), 640);
  EXPECT_EQ(session_.FrameHeight(), 480);
  ASSERT_EQ(session_.Run(), 1);
  ASSERT_TRUE(WaitFor([&] { return recorder_.Frames() >= 1; }));
  session_.Close();
  EXPECT_EQ(recorder_.First().size(), 640u * 480u * 3u);
}

// A top-down BGR picture as JPEG (4:4:4, high quality, so colours survive closely).
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& bgr, int width, int height) {
  tjhandle handle = tjInitCompress();
  unsigned char* data = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(handle, bgr.data(), width, width * 3, height, TJPF_BGR, &data, &size,
                             TJSAMP_444, 95, TJFLAG_ACCURATEDCT);
  std::vector<uint8_t> jpeg;
  if (rc == 0) jpeg.assign(data, data + size);
  tjFree(data);
  tjDestroy(handle);
  return jpeg;
}

using Bgr = std::array<int, 3>;
constexpr Bgr kUpper = {40, 160, 220};  // upper half of the picture
constexpr Bgr kLower = {200, 60, 30};   // lower half
constexpr Bgr kCorner = {20, 20, 235};  // 64 x 64 block at the top left
constexpr int kCornerSide = 64;

// Two halves and a corner block, all on 16-pixel boundaries (whole JPEG blocks).
std::vector<uint8_t> TestPicture(int width, int height) {
  std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Bgr& c = (x < kCornerSide && y < kCornerSide) ? kCorner
                     : y < height / 2                     ? kUpper
                                                          : kLower;
      uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
      for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(c[i]);
    }
  }
  return bgr;
}

// The pixel (x, y) of a bottom-up BGR frame, y counted from the picture's top.
::testing::AssertionResult PixelNear(const std::vector<uint8_t>& frame, int width, int height,
                                     int x, int y, const Bgr& want) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  const uint8_t* p = &frame[static_cast<size_t>(height - 1 - y) * stride + x * 3];
  for (int i = 0; i < 3; ++i) {
    if (std::abs(p[i] - want[i]) > 6) {
      return ::testing::AssertionFailure()
             << "(" << x << ", " << y << ") is " << int{p[0]} << "/" << int{p[1]} << "/"
             << int{p[2]} << ", wanted " << want[0] << "/" << want[1] << "/" << want[2];
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(V4l2BackendTest, StreamsFullHdMjpegAsBottomUpBgr) {
  g_camera.Reset(FakeV4l2Camera::Mode::MjpegOnly);
  const std::vector<uint8_t> jpeg = EncodeJpeg(TestPicture(1920, 1080), 1920, 1080);
  ASSERT_FALSE(jpeg.empty());
  g_camera.SetJpeg(jpeg);
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  EXPECT_EQ(session_.FrameWidth(), 1920);
  EXPECT_EQ(session_.FrameHeight(), 1080);
  ASSERT_EQ(g_camera.FormatsSet().size(), 1u);
  EXPECT_EQ(g_camera.FormatsSet()[0], (std::pair<uint32_t, uint32_t>(1920, 1080)));
  ASSERT_EQ(session_.Run(), 1);
  ASSERT_TRUE(WaitFor([&] { return recorder_.Frames() >= 2; }));
  session_.Close();
  const std::vector<uint8_t> frame = recorder_.First();
  ASSERT_EQ(frame.size(), 1920u * 1080u * 3u);
  // Stored first: the picture's bottom row; the corner block is at the top left.
  EXPECT_TRUE(PixelNear(frame, 1920, 1080, 0, 1079, kLower));
  EXPECT_EQ(frame[0], frame[3 * 100]);  // a flat colour decodes flat
  for (int x : {0, 32, 56}) EXPECT_TRUE(PixelNear(frame, 1920, 1080, x, 8, kCorner));
  EXPECT_TRUE(PixelNear(frame, 1920, 1080, 80, 8, kUpper));
  EXPECT_TRUE(PixelNear(frame, 1920, 1080, 8, 80, kUpper));
  EXPECT_TRUE(PixelNear(frame, 1920, 1080, 1919, 0, kUpper));
  EXPECT_TRUE(PixelNear(frame, 1920, 1080, 960, 530, kUpper));
  EXPECT_TRUE(PixelNear(frame, 1920, 1080, 960, 550, kLower));
  EXPECT_FALSE(recorder_.HasLog("capture|丢弃不完整的视频帧"));
}

TEST_F(V4l2BackendTest, MjpegFramesThatDoNotDecodeToTheFormatAreDropped) {
  // A JPEG of another size than the one negotiated, then bytes that are no JPEG.
  const std::vector<std::vector<uint8_t>> frames = {EncodeJpeg(TestPicture(640, 480), 640, 480),
                                                    std::vector<uint8_t>(5000, 0x5a)};
  for (const std::vector<uint8_t>& bad : frames) {
    g_camera.Reset(FakeV4l2Camera::Mode::MjpegOnly);
    ASSERT_FALSE(bad.empty());
    g_camera.SetJpeg(bad);
    ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
    ASSERT_EQ(session_.FrameWidth(), 1920);
    ASSERT_EQ(session_.Run(), 1);
    ASSERT_TRUE(WaitFor([&] { return g_camera.FramesServed() >= 3; }));
    session_.Close();
    EXPECT_EQ(recorder_.Frames(), 0);
    EXPECT_TRUE(recorder_.HasLog("capture|丢弃不完整的视频帧"));
  }
}

TEST_F(V4l2BackendTest, PropertiesOnTheIoctlsSent) {
  session_.SetCameraParams(
      "{\"camera_gain\":\"500\",\"camera_brightness\":\"-8888\",\"camera_contrast\":\"40\"}");
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session_.Close();
  EXPECT_TRUE(WritesOf(V4L2_CID_GAIN).empty());        // out of range: untouched
  EXPECT_TRUE(WritesOf(V4L2_CID_BRIGHTNESS).empty());  // NoChange: untouched
  ASSERT_EQ(WritesOf(V4L2_CID_CONTRAST).size(), 1u);
  EXPECT_EQ(g_camera.ControlValue(V4L2_CID_CONTRAST), 40);
  // Controls the camera does not have: their range cannot be read, and it is logged.
  session_.SetCameraParams("{\"camera_hue\":\"3\"}");
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session_.Close();
  EXPECT_TRUE(recorder_.HasLog("capture|获取相机Hue信息失败"));
}

TEST_F(V4l2BackendTest, ExposureModes) {
  session_.SetCameraParams(
      "{\"camera_exposure_auto\":\"0\",\"camera_exposure_manual_val\":\"-6\"}");
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session_.Close();
  ASSERT_EQ(WritesOf(V4L2_CID_EXPOSURE_AUTO).size(), 1u);
  EXPECT_EQ(WritesOf(V4L2_CID_EXPOSURE_AUTO)[0].value, V4L2_EXPOSURE_MANUAL);
  ASSERT_EQ(WritesOf(V4L2_CID_EXPOSURE_ABSOLUTE).size(), 1u);
  EXPECT_EQ(WritesOf(V4L2_CID_EXPOSURE_ABSOLUTE)[0].value, 156);  // 1/64 s in 100 us units

  g_camera.Reset(FakeV4l2Camera::Mode::Normal);
  session_.SetCameraParams("{\"camera_exposure_manual_val\":\"-9\"}");  // manual mode first
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session_.Close();
  session_.SetCameraParams("{\"camera_exposure_auto\":\"1\"}");
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session_.Close();
  // The camera offers aperture priority, not the fully automatic mode.
  EXPECT_EQ(g_camera.ControlValue(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
  EXPECT_FALSE(recorder_.HasLog("capture|设置自动曝光值失败"));

  // Manual mode without a value: NoChange cannot be written; nothing reaches the device.
  g_camera.Reset(FakeV4l2Camera::Mode::Normal);
  session_.SetCameraParams("{\"camera_exposure_auto\":\"0\"}");
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  session_.Close();
  EXPECT_TRUE(WritesOf(V4L2_CID_EXPOSURE_ABSOLUTE).empty());
  EXPECT_TRUE(recorder_.HasLog("capture|设置手动曝光值失败"));
}

TEST_F(V4l2BackendTest, DeviceThatNeverDeliversClosesPromptly) {
  g_camera.Reset(FakeV4l2Camera::Mode::NeverDelivers);
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  ASSERT_EQ(session_.Run(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = std::chrono::steady_clock::now();
  session_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(recorder_.Frames(), 0);
}

TEST_F(V4l2BackendTest, UnpluggedCameraEndsTheStreamAndSaysSo) {
  g_camera.Reset(FakeV4l2Camera::Mode::Unplugged);
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  ASSERT_EQ(session_.Run(), 1);
  ASSERT_TRUE(WaitFor([&] { return recorder_.lost_.load(); }));
  EXPECT_EQ(recorder_.Frames(), 3);
  EXPECT_TRUE(recorder_.HasLog("IrisHandle|视频设备停止工作:VIDIOC_DQBUF"));
  const auto start = std::chrono::steady_clock::now();
  session_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace ocuvant::capture::testing
