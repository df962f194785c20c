// The simulator's cameras: scripts, the scripted iris camera, the photo cameras and the
// replaying camera, seen through capture sessions.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <vector>

#include "capture/capture_video.h"
#include "fake_backend.h"
#include "recording_hooks.h"
#include "simulator/virtual_camera_backend.h"
#include "simulator/virtual_camera_script.h"
#include "simulator/virtual_replay_camera.h"

namespace ocuvant::simulator {
namespace {

using capture::CCaptureVideo;
using capture::testing::RecordingHooks;
using capture::testing::ScopedBackends;

TEST(SubjectScript, StepsInTurnThenHoldOrLoop) {
  const auto script = SubjectScript::Parse("gone:100, far:50,present:200,closed");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->ActionAt(0), SubjectAction::Gone);
  EXPECT_EQ(script->ActionAt(99), SubjectAction::Gone);
  EXPECT_EQ(script->ActionAt(100), SubjectAction::TooFar);
  EXPECT_EQ(script->ActionAt(150), SubjectAction::PresentLooking);
  EXPECT_EQ(script->ActionAt(1000000), SubjectAction::EyesClosed);

  const auto looped = SubjectScript::Parse("away:10,defocused:20,loop");
  ASSERT_TRUE(looped);
  EXPECT_EQ(looped->ActionAt(45), SubjectAction::Defocused);
  EXPECT_EQ(looped->ActionAt(61), SubjectAction::LookingAway);
  const auto finite = SubjectScript::Parse("away:10,defocused:20");
  EXPECT_EQ(finite->ActionAt(500), SubjectAction::Defocused);

  EXPECT_EQ(SubjectScript::Parse("")->ActionAt(5), SubjectAction::PresentLooking);
  for (const char* bad : {"sleepy", "present:abc", "present:0", "present,closed:5", "loop",
                          "present:5,loop,far", "closed,loop", "present:-4"}) {
    EXPECT_FALSE(SubjectScript::Parse(bad)) << bad;
  }
}

TEST(VirtualCameras, InstallRefusesBadConfigurations) {
  std::string error;
  VirtualCameraConfig config;
  config.script = "present:100,dancing";
  EXPECT_FALSE(InstallVirtualCameras(config, &error));
  EXPECT_NE(error.find("dancing"), std::string::npos);
  config.script.clear();
  config.replayDirectory = "/nonexistent/replay";
  EXPECT_FALSE(InstallVirtualCameras(config, &error));
  EXPECT_EQ(InstalledVirtualCameras(), nullptr);
}

// Mean of the blue bytes of one frame (the frames are grey: B = G = R).
double MeanLevel(const uint8_t* data, long length) {
  uint64_t sum = 0;
  for (long i = 0; i < length; i += 3 * 97) sum += data[i];
  return static_cast<double>(sum) / static_cast<double>((length + 3 * 97 - 1) / (3 * 97));
}

TEST(VirtualCameras, IrisCameraStreamsFullFramesAndBrightensWithTheIlluminator) {
  ScopedBackends only({});
  std::atomic<bool> light{false};
  VirtualCameraConfig config;
  config.visibleCamera = false;
  config.illuminatorOn = [&] { return light.load(); };
  std::string error;
  ASSERT_TRUE(InstallVirtualCameras(config, &error)) << error;
  RecordingHooks hooks;
  std::atomic<double> dark{0}, bright{0};
  std::atomic<bool> grey{true};
  std::atomic<int> sinceSwitch{0};
  hooks.frameHandler = [&](const uint8_t* data, long length, capture::FrameRoute) {
    for (long i = 0; i < length; i += 3 * 1013) {
      if (data[i] != data[i + 1] || data[i] != data[i + 2]) grey = false;
    }
    // The frame being rendered when the light goes on may still show it off.
    if (!light.load()) {
      dark = MeanLevel(data, length);
    } else if (++sinceSwitch >= 2) {
      bright = MeanLevel(data, length);
    }
  };
  CCaptureVideo session;
  const int32_t index = session.FindDeviceByPath("\\usb#vid_0c45&pid_6366");
  ASSERT_EQ(index, 0);
  ASSERT_EQ(session.Open(index, nullptr, capture::IrisFrames, "IrisHandle"), 0);
  EXPECT_EQ(session.FrameWidth(), 1920);
  EXPECT_EQ(session.FrameHeight(), 1080);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return dark.load() > 0; }, 20000));
  light = true;
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return bright.load() > 0; }, 20000));
  session.Close();
  EXPECT_EQ(hooks.lastLength.load(), 1920 * 1080 * 3);
  EXPECT_TRUE(grey.load());
  EXPECT_GT(bright.load(), dark.load());
  RemoveVirtualCameras();
}

TEST(VirtualCameras, PhotoCamerasHaveTheirOwnSizes) {
  ScopedBackends only({});
  ASSERT_TRUE(InstallVirtualCameras({}, nullptr));
  CCaptureVideo session;
  ASSERT_EQ(session.Open(session.FindDeviceByPath("usb#vid_05e3&pid_f11c"), nullptr,
                         capture::SnapshotOnly, "PhotoCapture"),
            0);
  EXPECT_EQ(session.FrameWidth(), 640);
  EXPECT_EQ(session.FrameHeight(), 480);
  session.Close();
  ASSERT_EQ(session.OpenPhotoVideo(session.FindDeviceByPath("usb#vid_05e3&pid_f11d")), 0);
  EXPECT_EQ(session.FrameWidth(), 1280);
  EXPECT_EQ(session.FrameHeight(), 720);
  session.Close();
  RemoveVirtualCameras();
}

TEST(VirtualCameras, CameraThatNeverDeliversStillClosesPromptly) {
  ScopedBackends only({});
  VirtualCameraConfig config;
  config.delivers = false;
  ASSERT_TRUE(InstallVirtualCameras(config, nullptr));
  RecordingHooks hooks;
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, capture::IrisFrames, "IrisHandle"), 0);
  ASSERT_EQ(session.Run(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const auto start = std::chrono::steady_clock::now();
  session.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(hooks.frames.load(), 0);
  RemoveVirtualCameras();
}

// The pipeline's grey conversion and mirror (first byte of each pixel, rows turned top
// first, each row reversed), applied to a replayed grey file, gives the file back.
TEST(ReplayCamera, GreyFilesComeBackAsTheFramesThatProducedThem) {
  std::vector<uint8_t> grey(kReplayGreyFrameBytes);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i * 7 + i / 1920);
  std::vector<uint8_t> frame(kReplayBgrFrameBytes);
  VirtualReplayCamera::GreyToCameraFrame(grey.data(), frame.data());
  std::vector<uint8_t> back(kReplayGreyFrameBytes);
  for (int i = 0; i < 1080; ++i) {
    for (int j = 0; j < 1920; ++j) {
      back[i * 1920 + (1919 - j)] = frame[(1079 - i) * 5760 + 3 * j];
    }
  }
  EXPECT_EQ(back, grey);
  EXPECT_EQ(frame[1], frame[0]);
  EXPECT_EQ(frame[2], frame[0]);
}

TEST(ReplayCamera, PlaysTheFolderInNameOrder) {
  char tmpl[] = "/tmp/ocuvant_replay_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  auto write = [&](const std::string& name, size_t size, uint8_t value) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        << std::string(size, static_cast<char>(value));
  };
  write("b.raw", kReplayBgrFrameBytes, 20);
  write("a.raw", kReplayGreyFrameBytes, 10);
  write("notes.txt", 100, 1);
  const auto files = VirtualReplayCamera::ListFrames(dir);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], dir + "/a.raw");

  ScopedBackends only({});
  VirtualCameraConfig config;
  config.replayDirectory = dir;
  ASSERT_TRUE(InstallVirtualCameras(config, nullptr));
  RecordingHooks hooks;
  std::mutex m;
  std::vector<int> seen;
  hooks.frameHandler = [&](const uint8_t* data, long, capture::FrameRoute) {
    // Slower than the frame period: a replay still delivers every file, in order.
    std::this_thread::sleep_for(std::chrono::milliseconds(70));
    std::lock_guard<std::mutex> lock(m);
    if (seen.size() < 4) seen.push_back(data[0]);
  };
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, capture::IrisFrames, "IrisHandle"), 0);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] {
    std::lock_guard<std::mutex> lock(m);
    return seen.size() == 4;
  }));
  session.Close();
  RemoveVirtualCameras();
  EXPECT_EQ(seen, (std::vector<int>{10, 20, 10, 20}));
}

}  // namespace
}  // namespace ocuvant::simulator
