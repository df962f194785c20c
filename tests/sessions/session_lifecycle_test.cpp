// Opening and closing the iris camera, starting sessions and the next-action chain,
// seen from the host: results, events, log lines and the illuminator's reports.
#include "capture/capture_video.h"
#include "device/illuminator_command.h"
#include "session_fixture.h"

namespace ocuvant::sessions_test {
namespace {

using control::ModeIdle;

TEST_F(SessionTest, CloseAndStopWithNothingOpen) {
  ASSERT_EQ(control_->ParseSettings(), 1);  // logging on
  EXPECT_EQ(control_->CloseIris(), -2);     // no iris session streams
  EXPECT_EQ(control_->StopIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  const auto closes = events_.Named("CloseCameraEvent");
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes[0].b, 0);
  EXPECT_TRUE(events_.HasLog("video|关闭虹膜视频...,next:0"));
  EXPECT_TRUE(events_.HasLog("video|虹膜视频关闭"));
  EXPECT_TRUE(events_.HasLog("iris|无需关闭后台"));
  // The close switches the illuminator off even when nothing was open.
  const auto codes = Codes();
  ASSERT_EQ(codes.size(), 2u);
  EXPECT_EQ(codes[0], device::CmdSessionStop);
  EXPECT_EQ(codes[1], device::CmdIlluminatorOff);
}

TEST_F(SessionTest, InitIrisOpensOnceAndCloseIrisClosesIt) {
  EXPECT_EQ(control_->InitIris(), 1);
  EXPECT_TRUE(control_->m_irisOpen);
  EXPECT_TRUE(control_->m_irisReadyEvent.IsSet());
  EXPECT_FALSE(control_->m_framesIgnored);
  EXPECT_TRUE(events_.HasLog("video|无后台拍照"));
  EXPECT_EQ(control_->m_mainCapture->Route(), capture::IrisFrames);
  // Opened, not running: the first session runs it.
  EXPECT_EQ(control_->m_mainCapture->State(), capture::CaptureState::Built);
  EXPECT_EQ(control_->InitIris(), 1);  // already open: nothing more
  EXPECT_EQ(control_->CloseIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  EXPECT_FALSE(control_->m_irisOpen);
  EXPECT_FALSE(control_->m_irisReadyEvent.IsSet());
  EXPECT_EQ(control_->m_videoNeedsRun, 1);
  EXPECT_EQ(control_->m_mainCapture->State(), capture::CaptureState::Empty);
  EXPECT_EQ(control_->CloseIris(), -2);  // closed already
  EXPECT_EQ(control_->InitIris(), 1);    // and it opens again
  EXPECT_TRUE(control_->m_irisOpen);
}

TEST_F(SessionTest, MissingCameraAndBadConfiguration) {
  control_->SetBurger(Config(",\"iris_camera_id\":\"usb#vid_dead&pid_beef\""));
  EXPECT_EQ(control_->InitIris(), -2);  // the search's code: no such camera
  EXPECT_TRUE(events_.HasLog("init|找不到摄像头"));
  EXPECT_FALSE(control_->m_irisOpen);
  EXPECT_EQ(control_->InitCaptureIris(), -2);
  control_->SetBurger("{\"with_big_iris\":\"1\",\"with_small_iris\":\"1\"}");  // two kinds
  EXPECT_EQ(control_->InitIris(), -200);
  EXPECT_EQ(control_->EnrollBothIris(), -200);
}

TEST_F(SessionTest, EnrollmentWithoutCameraEndsWithMinusTenAfterFiveSeconds) {
  const uint32_t start = platform::GetTickCount();
  EXPECT_EQ(control_->EnrollBothIris(), 1);
  EXPECT_TRUE(events_.HasLog("enroll|------------------->开始0(BIG)注册..."));
  ASSERT_TRUE(PumpUntil([&] { return !events_.Named("EnrollBothIrisEvent").empty(); }, 8000));
  const auto done = events_.Named("EnrollBothIrisEvent");
  EXPECT_EQ(done[0].a, -10);
  const uint32_t waited = done[0].tick - start;
  EXPECT_GE(waited, 4900u);
  EXPECT_LT(waited, 7000u);
  EXPECT_TRUE(events_.HasLog("enroll|等待启动消息"));
  EXPECT_FALSE(events_.HasLog("enroll|创建视频成功"));
  // The handler closes the (absent) iris camera, then the host hears of it.
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  EXPECT_LT(events_.IndexOf("EnrollBothIrisEvent"), events_.IndexOf("CloseCameraEvent"));
  // Session start at the call, the close's stop and light off, the failure last.
  const auto reports = illuminator_.Reports();
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0].code(), device::CmdSessionStart);
  EXPECT_LT(reports[0].tick - start, 500u);
  EXPECT_EQ(reports[1].code(), device::CmdSessionStop);
  EXPECT_EQ(reports[2].code(), device::CmdIlluminatorOff);
  EXPECT_EQ(reports[3].code(), device::CmdResultFail);
  EXPECT_GE(reports[3].tick - start, 4900u);
  EXPECT_EQ(control_->m_sessionMode, ModeIdle);
}

TEST_F(SessionTest, SecondEnrollmentIsRefusedOnceTheFirstIsArmed) {
  ASSERT_EQ(control_->InitIris(), 1);
  EXPECT_EQ(control_->EnrollBothIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return control_->m_sessionMode != ModeIdle; }, 3000));
  EXPECT_EQ(control_->m_sessionMode, control::ModeEnrollBoth);
  EXPECT_TRUE(events_.HasLog("enroll|创建视频成功"));
  EXPECT_EQ(control_->m_mainCapture->State(), capture::CaptureState::Streaming);
  EXPECT_EQ(control_->m_videoNeedsRun, 0);
  EXPECT_EQ(control_->EnrollBothIris(), -100);
  EXPECT_EQ(control_->EnrollLeftIris(), -100);
  const int32_t db[128] = {};
  EXPECT_EQ(control_->MatchIris(db, 1, db, 1, db, 1, 0, 0), -100);
  EXPECT_EQ(control_->StopIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  EXPECT_EQ(control_->m_sessionMode, ModeIdle);
  EXPECT_TRUE(control_->m_framesIgnored);
  EXPECT_EQ(control_->InitIris(), 1);  // ready for the next session
}

TEST_F(SessionTest, EnrollmentWithNoKindEnabledIsRefused) {
  control_->SetBurger(
      "{\"with_big_iris\":\"0\",\"with_small_iris\":\"0\",\"with_q5_iris\":\"0\",\"log\":\"1\"}");
  const int32_t r = control_->EnrollRightIris();
  // A configuration without any kind does not parse as usable.
  EXPECT_TRUE(r == -200 || r == -101) << r;
  EXPECT_TRUE(Codes().empty());
}

TEST_F(SessionTest, CaptureOnlyCameraTwiceAndSessionsCannotStartOnIt) {
  EXPECT_EQ(control_->InitCaptureIris(), 1);
  EXPECT_EQ(control_->m_mainCapture->Route(), capture::SnapshotOnly);
  EXPECT_EQ(control_->m_mainCapture->State(), capture::CaptureState::Streaming);
  EXPECT_FALSE(control_->m_irisReadyEvent.IsSet());
  EXPECT_EQ(control_->InitCaptureIris(), -200);
  EXPECT_EQ(control_->InitIris(), 1);  // nothing opened while the preview runs
  EXPECT_EQ(control_->m_mainCapture->Route(), capture::SnapshotOnly);
  EXPECT_EQ(control_->StopIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  EXPECT_EQ(control_->InitCaptureIris(), 1);  // open again after the close
  EXPECT_EQ(control_->CaptureIrisImage("x.bmp"), 0);
}

TEST_F(SessionTest, InitIrisWhilePhotoOpenChainsWithoutPhotoCloseEvent) {
  ASSERT_EQ(control_->InitPhotoCapture(1), 1);
  ASSERT_TRUE(control_->m_photoOpen);
  const uint32_t start = platform::GetTickCount();
  EXPECT_EQ(control_->InitIris(), 1);
  EXPECT_LT(platform::TicksSince(start), 1500u);  // bounded wait for the close thread
  EXPECT_TRUE(events_.HasLog("enroll|开始关闭拍照并启动虹膜>..."));
  ASSERT_TRUE(PumpUntil([&] { return control_->m_irisOpen.load(); }, 3000));
  EXPECT_FALSE(control_->m_photoOpen);
  EXPECT_TRUE(events_.HasLog("|in msg next action"));
  EXPECT_TRUE(events_.HasLog("iris|proc_open_iris开始下一步的虹膜启动"));
  EXPECT_TRUE(events_.HasLog("close|拍照摄像头已经关闭"));
  EXPECT_EQ(control_->m_mainCapture->Route(), capture::IrisFrames);
  EXPECT_EQ(control_->m_mainCapture->FrameWidth(), 1920);
  PumpFor(300);
  EXPECT_TRUE(events_.Named("CloseCameraEvent").empty());
}

TEST_F(SessionTest, ChainedIrisOpenThatFailsIsOnlyLogged) {
  ASSERT_EQ(control_->InitPhotoCapture(2), 1);  // infrared
  control_->SetBurger(Config(",\"iris_camera_id\":\"usb#vid_dead\""));
  EXPECT_EQ(control_->InitIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return events_.HasLog("iris|启动虹膜失败:-2"); }, 3000));
  EXPECT_FALSE(control_->m_irisOpen);
  PumpFor(200);
  EXPECT_TRUE(events_.Named("CloseCameraEvent").empty());
}

TEST_F(SessionTest, BackgroundCameraFollowsTheIrisCamera) {
  control_->SetBurger(Config().replace(Config().find("\"iris_with_bkcapture\":\"0\""), 25,
                                       "\"iris_with_bkcapture\":\"1\""));
  ASSERT_EQ(control_->InitIris(), 1);
  EXPECT_TRUE(control_->m_withBkCapture);
  EXPECT_TRUE(control_->m_bkRunning);
  EXPECT_TRUE(events_.HasLog("video|启动后台拍照视频..."));
  EXPECT_TRUE(events_.HasLog("video|启动后台拍照视频 ok"));
  EXPECT_EQ(control_->m_bkCapture->FrameWidth(), 1280);  // the visible-light camera
  EXPECT_EQ(control_->StopIris(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedIrisCamera));
  EXPECT_FALSE(control_->m_bkRunning);
  EXPECT_TRUE(events_.HasLog("iris|开始关闭后台拍照"));
  EXPECT_TRUE(events_.HasLog("iris|后台拍照关闭"));
  EXPECT_EQ(control_->m_bkCapture->State(), capture::CaptureState::Empty);
}

TEST_F(SessionTest, MatchWithoutCameraWritesTheQ5DatabaseAndEndsWithMinusTen) {
  const auto drive = dir_ / "d";
  std::filesystem::create_directories(drive);
  ::setenv("OCUVANT_DRIVE_D", drive.c_str(), 1);
  control_->SetBurger(
      "{\"log\":\"1\",\"with_q5_iris\":\"1\",\"with_big_iris\":\"0\",\"with_small_iris\":\"0\"}");
  std::vector<int32_t> q5(3 * 128, 7);
  EXPECT_EQ(control_->MatchIris(nullptr, 0, nullptr, 0, q5.data(), 3, 0, 0), 1);
  EXPECT_EQ(std::filesystem::file_size(drive / "q5_match.iris"), 3u * 512u);
  EXPECT_EQ(control_->m_matchIndex[0], -1);
  ASSERT_TRUE(PumpUntil([&] { return !events_.Named("MatchIrisEvent").empty(); }, 8000));
  EXPECT_TRUE(events_.HasLog("match|等待启动消息"));
  EXPECT_EQ(events_.Named("MatchIrisEvent")[0].a, -10);
  // A Q5 database of no templates is refused and leaves an empty file in place of the
  // previous call's database; a negative count writes nothing.
  EXPECT_EQ(control_->MatchIris(nullptr, 0, nullptr, 0, q5.data(), 0, 0, 0), -1);
  ASSERT_TRUE(std::filesystem::exists(drive / "q5_match.iris"));
  EXPECT_EQ(std::filesystem::file_size(drive / "q5_match.iris"), 0u);
  std::filesystem::remove(drive / "q5_match.iris");
  EXPECT_EQ(control_->MatchIris(nullptr, 0, nullptr, 0, nullptr, 0, 0, 0), -1);
  EXPECT_EQ(std::filesystem::file_size(drive / "q5_match.iris"), 0u) << "null database, no data";
  std::filesystem::remove(drive / "q5_match.iris");
  EXPECT_EQ(control_->MatchIris(nullptr, 0, nullptr, 0, q5.data(), -3, 0, 0), -1);
  EXPECT_FALSE(std::filesystem::exists(drive / "q5_match.iris"));
  ::unsetenv("OCUVANT_DRIVE_D");
}

}  // namespace
}  // namespace ocuvant::sessions_test
