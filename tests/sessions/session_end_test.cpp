// The end of a camera session as a host sees it: what the close logs and sends, the
// files it leaves behind, the names it reports and the lock that serialises closes.
#include <atomic>
#include <thread>

#include "capture/capture_video.h"
#include "device/illuminator_command.h"
#include "session/workflow_feedback.h"
#include "session_fixture.h"

namespace ocuvant::sessions_test {
namespace {

// The fill light's off command is announced by its own log line (empty tag), after
// the session stop and before the close's own line.
TEST_F(SessionTest, IlluminatorOffIsLoggedBeforeItIsSent) {
  ASSERT_EQ(control_->InitIris(), 1);
  ASSERT_EQ(control_->StopIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  EXPECT_EQ(events_.CountLogs("|关闭补光灯"), 1);
  const int off = events_.IndexOf("LogInfo", "|关闭补光灯");
  const int closing = events_.IndexOf("LogInfo", "video|关闭虹膜视频...,next:0");
  ASSERT_GE(off, 0);
  EXPECT_LT(off, closing);
  EXPECT_EQ(Codes(), (std::vector<uint8_t>{device::CmdSessionStop, device::CmdIlluminatorOff}));
}

// CloseIris and ClosePhotoCapture take g_closeLock: while another thread holds it,
// neither starts its close.
TEST_F(SessionTest, ClosesWaitForTheCloseLock) {
  for (const bool photo : {false, true}) {
    ASSERT_EQ(photo ? control_->InitPhotoCapture(1) : control_->InitIris(), 1);
    std::atomic<bool> released{false};
    std::atomic<bool> held{false};
    std::thread holder([&] {
      platform::Lock lock(control::g_closeLock);
      held = true;
      platform::Sleep(300);
      released = true;
    });
    while (!held) platform::Sleep(1);
    EXPECT_EQ(photo ? control_->ClosePhotoCapture() : control_->CloseIris(), 1);
    EXPECT_TRUE(released) << (photo ? "photo" : "iris") << " close ran under another's lock";
    holder.join();
    ASSERT_TRUE(WaitForClose(photo ? control::kClosedPhotoCamera : control::kClosedIrisCamera));
  }
}

// A background photo asked for while the background camera is paused, closed or not
// there is not taken, now or in a later session; a request still pending when the
// camera pauses, closes or opens again is dropped.
TEST_F(SessionTest, BackgroundPhotoOnlyWhileTheCameraRuns) {
  const std::string path = control_->m_enrollSnapshotPath;
  std::filesystem::remove(path);
  session::RequestBackgroundSnapshot(*control_, 0, path);  // no background camera
  ASSERT_EQ(control_->InitBkPhotoCapture(2), 1);
  EXPECT_EQ(control_->StopBkPhotoCapture(), 0);
  session::RequestBackgroundSnapshot(*control_, 0, path);  // paused
  control_->m_bkCapture->RequestSnapshot(0, path);         // pending on a paused camera
  EXPECT_EQ(control_->CloseBkPhotoCapture(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !control_->m_bkRunning.load(); }, 3000));
  ASSERT_EQ(control_->InitBkPhotoCapture(2), 1);  // a later session on the same camera
  PumpFor(600);
  EXPECT_TRUE(events_.Named("PhotoCaptureEvent").empty());
  EXPECT_FALSE(std::filesystem::exists(path));

  // While it runs the photo is taken and reported under the name it was written to.
  session::RequestBackgroundSnapshot(*control_, 0, path);
  ASSERT_TRUE(PumpUntil([&] { return !events_.Named("PhotoCaptureEvent").empty(); }, 3000));
  EXPECT_EQ(events_.Named("PhotoCaptureEvent")[0].text, path);
  EXPECT_TRUE(std::filesystem::exists(path));
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace ocuvant::sessions_test
