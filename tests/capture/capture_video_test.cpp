// Session states, frame routes, the frame lock and the session's log lines.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "capture/capture_results.h"
#include "capture/capture_video.h"
#include "fake_backend.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "recording_hooks.h"

namespace ocuvant::capture::testing {
namespace {

const char kPath[] = "\\\\?\\usb#vid_05e3&pid_f11d&mi_00#x#{x}\\global";

class CaptureVideoTest : public ::testing::Test {
 protected:
  ScopedBackends backends_{{std::make_shared<FakeBackend>(
      std::vector<FakeDevice>{{"Cam", kPath}, {"Odd", kPath, 1280, 720}})}};
  RecordingHooks hooks_;
};

TEST_F(CaptureVideoTest, FramesFlowOnlyWhileStreaming) {
  CCaptureVideo session;
  EXPECT_EQ(session.Run(), -100);  // no graph yet
  ASSERT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  EXPECT_EQ(session.State(), CaptureState::Built);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(hooks_.frames.load(), 0);  // built, not running

  ASSERT_EQ(session.Run(), 1);
  EXPECT_EQ(session.State(), CaptureState::Streaming);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return hooks_.frames.load() >= 3; }));
  EXPECT_EQ(hooks_.lastLength.load(), 320 * 240 * 3);
  EXPECT_EQ(hooks_.lastRoute.load(), IrisFrames);

  EXPECT_EQ(session.Pause(), 0);
  EXPECT_EQ(session.State(), CaptureState::Paused);
  EXPECT_FALSE(session.DeviceBound());
  const int paused = hooks_.frames.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(hooks_.frames.load(), paused);

  EXPECT_EQ(session.Close(), 0);
  EXPECT_EQ(session.State(), CaptureState::Empty);
  EXPECT_EQ(session.Run(), -100);
  EXPECT_EQ(session.Close(), 0);  // closing an empty session is harmless
}

TEST_F(CaptureVideoTest, RoutesDecideWhatReachesTheControl) {
  CCaptureVideo session;
  ASSERT_EQ(session.Open(0, nullptr, SnapshotOnly, "PhotoCapture"), 0);
  ASSERT_EQ(session.Run(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(hooks_.frames.load(), 0);

  // A second open only changes route and name, and says so in the log.
  const auto owner = reinterpret_cast<CCaptureVideo::WindowHandle>(intptr_t{1234});
  EXPECT_EQ(session.Open(1, owner, FaceFrames, "InfraredFace"), 0);
  EXPECT_TRUE(hooks_.HasLog("已经初始化:1234", "cc"));
  EXPECT_EQ(session.Route(), FaceFrames);
  EXPECT_EQ(session.FrameWidth(), 320);  // still the first device
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return hooks_.frames.load() >= 2; }));
  EXPECT_EQ(hooks_.lastRoute.load(), FaceFrames);
  session.Close();
}

TEST_F(CaptureVideoTest, OtherFrameSizesArriveWithTheirOwnLength) {
  CCaptureVideo session;
  ASSERT_EQ(session.Open(1, nullptr, IrisFrames, "IrisHandle"), 0);
  EXPECT_EQ(session.FrameWidth(), 1280);
  EXPECT_EQ(session.FrameHeight(), 720);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return hooks_.frames.load() >= 1; }));
  EXPECT_EQ(hooks_.lastLength.load(), 1280 * 720 * 3);
  session.Close();
}

TEST_F(CaptureVideoTest, CloseWaitsForTheIrisFrameInProgressAndNoneFollows) {
  CCaptureVideo session;
  platform::ManualResetEvent inFrame, release;
  std::atomic<bool> closeStarted{false};
  std::atomic<int> framesAfterClose{0};
  hooks_.frameHandler = [&](const uint8_t*, long, FrameRoute) {
    if (closeStarted.load()) framesAfterClose.fetch_add(1);
    inFrame.Set();
    release.Wait(3000);
  };
  ASSERT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(inFrame.Wait(3000));
  std::atomic<bool> closed{false};
  closeStarted = true;
  std::thread closer([&] {
    session.Close();
    closed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(closed.load());  // the frame in progress holds the frame lock
  release.Set();
  closer.join();
  EXPECT_TRUE(closed.load());
  EXPECT_EQ(framesAfterClose.load(), 0);
  const int total = hooks_.frames.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(hooks_.frames.load(), total);
}

// The end-of-session order: the frame handler waits for the host's thread, which is
// busy closing the same session. The close must neither deadlock nor let the waiting
// frame through once it has taken the lock.
TEST_F(CaptureVideoTest, CloseFromAnotherThreadWhileTheHandlerWaitsDoesNotDeadlock) {
  CCaptureVideo session;
  platform::ManualResetEvent hostDone;
  std::atomic<int> handled{0};
  hooks_.frameHandler = [&](const uint8_t*, long, FrameRoute) {
    handled.fetch_add(1);
    hostDone.Wait(1500);  // bounded, as the control's sends are
  };
  ASSERT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return handled.load() >= 1; }));
  platform::ManualResetEvent closeDone;
  std::thread closer([&] {
    session.Close();
    closeDone.Set();
  });
  EXPECT_FALSE(closeDone.Wait(200));
  hostDone.Set();
  EXPECT_TRUE(closeDone.Wait(3000));
  closer.join();
  EXPECT_EQ(handled.load(), 1);
}

TEST_F(CaptureVideoTest, CloseFromInsideTheFrameHandlerReturns) {
  CCaptureVideo session;
  platform::ManualResetEvent closedInside;
  std::atomic<bool> closeInHandler{true};
  hooks_.frameHandler = [&](const uint8_t*, long, FrameRoute) {
    if (!closeInHandler.exchange(false)) return;
    session.Close();
    closedInside.Set();
  };
  ASSERT_EQ(session.Open(0, nullptr, FaceFrames, "InfraredFace"), 0);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(closedInside.Wait(3000));
  EXPECT_EQ(session.State(), CaptureState::Empty);
  // The session can be opened again at once.
  ASSERT_EQ(session.Open(0, nullptr, FaceFrames, "InfraredFace"), 0);
  ASSERT_EQ(session.Run(), 1);
  const int before = hooks_.frames.load();
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return hooks_.frames.load() > before; }));
  session.Close();
}

TEST_F(CaptureVideoTest, PausedSessionCanBeReopenedAfterClose) {
  CCaptureVideo session;
  ASSERT_EQ(session.OpenPhotoVideo(0), 0);
  EXPECT_EQ(session.Route(), SnapshotOnly);
  ASSERT_EQ(session.Run(), 1);
  session.Pause();
  // Paused: the device is no longer bound, so an open builds a fresh graph.
  EXPECT_EQ(session.Open(0, nullptr, IrisFrames, "IrisHandle"), 0);
  EXPECT_EQ(session.State(), CaptureState::Built);
  ASSERT_EQ(session.Run(), 1);
  ASSERT_TRUE(RecordingHooks::WaitFor([&] { return hooks_.frames.load() >= 1; }));
  session.Close();
}

TEST_F(CaptureVideoTest, OpenPhotoVideoShowsWhyItFailed) {
  std::vector<std::string> boxes;
  std::mutex m;
  platform::SetMessageBoxHandler([&](const std::string& text, const std::string&) {
    std::lock_guard<std::mutex> lock(m);
    boxes.push_back(text);
  });
  CCaptureVideo session;
  EXPECT_EQ(session.OpenPhotoVideo(-1), 1);
  EXPECT_EQ(session.OpenPhotoVideo(9), kCaptureErrorPointer);
  platform::SetMessageBoxHandler(nullptr);
  EXPECT_EQ(boxes, (std::vector<std::string>{"绑定视频设备失败！", "Capture Filter添加失败！",
                                             "Preview Pin连接失败！"}));
  EXPECT_EQ(session.State(), CaptureState::Empty);
}

TEST_F(CaptureVideoTest, SetOwnerWindowBeforeAnyGraphOnlyRecordsIt) {
  CCaptureVideo session;
  const auto owner = reinterpret_cast<CCaptureVideo::WindowHandle>(intptr_t{77});
  session.SetOwnerWindow(owner);
  EXPECT_EQ(session.OwnerWindow(), owner);
  EXPECT_EQ(session.State(), CaptureState::Empty);
}

}  // namespace
}  // namespace ocuvant::capture::testing
