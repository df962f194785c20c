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
#include "capture/capture_video.h"
#include "fake_v4l2_camera.h"

namespace ocuvant::capture::testing {
namespace {

FakeV4l2Camera g_camera;

const char kExpectedPath[] =
    "\\\\?\\usb#vid_0c45&pid_6366&mi_00#sn0042#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Records frames (a copy of the first one) and log lines.
class Recorder {
 public:
  Recorder() {
    hooks_.context = this;
    hooks_.onFrame = [](void* c, const uint8_t* data, long length, FrameRoute) {
      auto* self = static_cast<Recorder*>(c);
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (self->first_.empty()) self->first_.assign(data, data + length);
      self->frames_++;
    };
    hooks_.logIfEnabled = [](void* c, const char* text, const char* tag) {
      auto* self = static_cast<Recorder*>(c);
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->logs_.push_back(std::string(tag) + "|" + text);
    };
    hooks_.logAlways = hooks_.logIfEnabled;
    hooks_.cameraLost = [](void* c, const char*) { static_cast<Recorder*>(c)->lost_ = true; };
    InstallCaptureHooks(&hooks_);
  }
  ~Recorder() { InstallCaptureHooks(nullptr); }
  int Frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  std::vector<uint8_t> First() {
    std::lock_guard<std::mutex> lock(mutex_);
    return first_;
  }
  bool HasLog(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& l : logs_) {
      if (l == line || l.rfind(line, 0) == 0) return true;
    }
    return false;
  }
  std::atomic<bool> lost_{false};

 private:
  CaptureHooks hooks_;
  std::mutex mutex_;
  int frames_ = 0;
  std::vector<uint8_t> first_;
  std::vector<std::string> logs_;
};

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

TEST_F(V4l2BackendTest, StreamsFullHdYuyvAsBottomUpBgr) {
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  EXPECT_EQ(session_.FrameWidth(), 1920);  // asked for where offered
  EXPECT_EQ(session_.FrameHeight(), 1080);
  ASSERT_EQ(g_camera.FormatsSet().size(), 1u);
  EXPECT_EQ(g_camera.FormatsSet()[0], (std::pair<uint32_t, uint32_t>(1920, 1080)));
  ASSERT_EQ(session_.Run(), 1);
  ASSERT_TRUE(WaitFor([&] { return recorder_.Frames() >= 3; }));
  session_.Close();
  const std::vector<uint8_t> frame = recorder_.First();
  ASSERT_EQ(frame.size(), 1920u * 1080u * 3u);
  const size_t row = 1920 * 3;
  // Stored first: the image's bottom row (black); stored last: its top row (white, with
  // the red pair first).
  EXPECT_EQ(frame[0], 0);
  EXPECT_EQ(frame[row - 1], 0);
  const size_t top = 1079 * row;
  EXPECT_LE(frame[top + 0], 1);    // blue
  EXPECT_LE(frame[top + 1], 1);    // green
  EXPECT_GE(frame[top + 2], 254);  // red
  EXPECT_EQ(frame[top + 6], 255);
  EXPECT_EQ(frame[top + row - 1], 255);
  EXPECT_EQ(frame[540 * row], 255);  // first stored row of the upper half
  EXPECT_EQ(frame[539 * row], 0);
}

TEST_F(V4l2BackendTest, CameraWithoutFullHdKeepsItsOwnSize) {
  g_camera.Reset(FakeV4l2Camera::Mode::SmallOnly);
  ASSERT_EQ(session_.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
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

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The testbed must exist before the environment check.
  UMockdevTestbed* testbed = umockdev_testbed_new();
  if (!umockdev_in_mock_environment()) {
    std::fprintf(stderr, "not running under umockdev-wrapper: skipped\n");
    g_object_unref(testbed);
    return 77;
  }
  std::string error;
  if (!ocuvant::capture::testing::g_camera.Install(testbed, &error)) {
    std::fprintf(stderr, "fake camera: %s\n", error.c_str());
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  g_object_unref(testbed);
  return result;
}
