// Portrait photos on the main camera session and the background photo camera.
#include <fstream>
#include <thread>

#include "capture/capture_video.h"
#include "session_fixture.h"

namespace ocuvant::sessions_test {
namespace {

constexpr uint64_t kVisibleBmpBytes = 54 + 1280ull * 720 * 3;

TEST_F(SessionTest, PhotoCaptureNeedsAnOpenCameraAndReportsKindTwo) {
  const std::string path = (dir_ / "portrait.bmp").string();
  EXPECT_EQ(control_->PhotoCapture(2, path), -1);
  PumpFor(200);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(control_->InitPhotoCapture(1), 1);
  EXPECT_EQ(control_->m_mainCapture->Route(), capture::SnapshotOnly);
  EXPECT_EQ(control_->InitPhotoCapture(1), 1);  // already open
  EXPECT_TRUE(events_.HasLog("open|拍照已经启动过了"));
  EXPECT_EQ(control_->PhotoCapture(7, path), 1);
  ASSERT_TRUE(PumpUntil([&] { return !events_.Named("PhotoCaptureEvent").empty(); }, 3000));
  const auto shot = events_.Named("PhotoCaptureEvent")[0];
  EXPECT_EQ(shot.a, 2);
  EXPECT_EQ(shot.text, path);
  EXPECT_EQ(std::filesystem::file_size(path), kVisibleBmpBytes);
}

TEST_F(SessionTest, InfraredPhotoForAnyOtherKindAndMissingCamera) {
  ASSERT_EQ(control_->InitPhotoCapture(5), 1);
  EXPECT_EQ(control_->m_mainCapture->FrameWidth(), 640);  // the infrared camera
  EXPECT_EQ(control_->ClosePhotoCapture(), 1);
  ASSERT_TRUE(WaitForClose(control::kClosedPhotoCamera));
  control_->SetCameraIDVisible("usb#vid_dead");
  EXPECT_EQ(control_->InitPhotoCapture(1), -2);
  EXPECT_TRUE(events_.HasLog("open|找不到拍照摄像头"));
  EXPECT_FALSE(control_->m_photoOpen);
}

TEST_F(SessionTest, ClosePhotoTwiceWhileClosingAndAfterwards) {
  ASSERT_EQ(control_->InitPhotoCapture(1), 1);
  std::atomic<int32_t> second{0};
  // The second close arrives while the first one's thread is still at work.
  std::thread other([&] {
    platform::Sleep(150);
    second = control_->ClosePhotoCapture();
  });
  EXPECT_EQ(control_->ClosePhotoCapture(), 1);
  other.join();
  EXPECT_EQ(second, -2);
  EXPECT_TRUE(events_.HasLog("close|已经在关闭"));
  EXPECT_TRUE(events_.HasLog("close|设置为退出"));
  ASSERT_TRUE(WaitForClose(control::kClosedPhotoCamera));
  EXPECT_EQ(events_.Named("CloseCameraEvent").size(), 1u);
  EXPECT_EQ(control_->ClosePhotoCapture(), -1);  // nothing open any more
}

TEST_F(SessionTest, PhotoRequestWhileIrisOpenChainsToThePhotoCamera) {
  ASSERT_EQ(control_->InitIris(), 1);
  EXPECT_EQ(control_->InitPhotoCapture(1), 2);
  ASSERT_TRUE(PumpUntil([&] { return control_->m_photoOpen.load(); }, 3000));
  EXPECT_FALSE(control_->m_irisOpen);
  EXPECT_TRUE(events_.HasLog("video|关闭虹膜视频...,next:1"));
  EXPECT_TRUE(events_.HasLog("iris|开始下一步的可见光拍照启动"));
  EXPECT_EQ(control_->m_mainCapture->FrameWidth(), 1280);
  EXPECT_EQ(control_->CloseIris(), -1);  // the photo camera holds the session
  PumpFor(300);
  EXPECT_TRUE(events_.Named("CloseCameraEvent").empty());
  // And back to infrared through the iris camera.
  ASSERT_EQ(control_->InitIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return control_->m_irisOpen.load(); }, 3000));
  EXPECT_EQ(control_->InitPhotoCapture(3), 2);
  ASSERT_TRUE(PumpUntil([&] { return control_->m_photoOpen.load(); }, 3000));
  EXPECT_TRUE(events_.HasLog("iris|开始下一步的红外拍照启动"));
  EXPECT_EQ(control_->m_mainCapture->FrameWidth(), 640);
}

TEST_F(SessionTest, BackgroundCameraStopIsSilentUntilClosed) {
  ASSERT_EQ(control_->ParseSettings(), 1);  // logging on
  EXPECT_EQ(control_->InitBkPhotoCapture(2), 1);
  EXPECT_EQ(control_->m_bkCapture->FrameWidth(), 640);
  const std::string first = (dir_ / "bk1.bmp").string();
  control_->m_bkCapture->RequestSnapshot(0, first);
  ASSERT_TRUE(PumpUntil([&] { return !events_.Named("PhotoCaptureEvent").empty(); }, 3000));
  EXPECT_EQ(events_.Named("PhotoCaptureEvent")[0].a, 0);
  EXPECT_EQ(std::filesystem::file_size(first), 54u + 640u * 480u * 3u);

  EXPECT_EQ(control_->StopBkPhotoCapture(), 0);
  EXPECT_TRUE(events_.HasLog("iris|后台拍照停止"));
  EXPECT_EQ(control_->InitBkPhotoCapture(1), 1);  // still "running"
  EXPECT_TRUE(control_->m_bkRunning);
  control_->m_bkCapture->RequestSnapshot(1, (dir_ / "bk2.bmp").string());
  PumpFor(500);
  EXPECT_EQ(events_.Named("PhotoCaptureEvent").size(), 1u);  // silent
  EXPECT_FALSE(std::filesystem::exists(dir_ / "bk2.bmp"));

  EXPECT_EQ(control_->CloseBkPhotoCapture(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !control_->m_bkRunning.load(); }, 3000));
  PumpFor(100);
  EXPECT_TRUE(events_.Named("CloseCameraEvent").empty());  // no event for this camera
  EXPECT_EQ(control_->InitBkPhotoCapture(1), 1);           // opens again, visible-light
  EXPECT_EQ(control_->m_bkCapture->FrameWidth(), 1280);
  control_->SetCameraIDInfrared("usb#vid_none");
  EXPECT_EQ(control_->CloseBkPhotoCapture(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !control_->m_bkRunning.load(); }, 3000));
  EXPECT_EQ(control_->InitBkPhotoCapture(2), -2);  // absent: the search's code, no message
}

}  // namespace
}  // namespace ocuvant::sessions_test
