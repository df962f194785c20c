// Sessions whose camera stops delivering frames, stalled or unplugged: the host still
// gets the session's time-out result at its time, then the camera's close.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <atomic>
#include <memory>

#include "device/illuminator_command.h"
#include "platform/thread.h"
#include "tests/workflows/workflow_fixture.h"

namespace ocuvant::testing {
namespace {

using namespace device;

constexpr char kNoFramesLine[] = "虹膜视频无帧,按超时结束";

class StalledCamera : public WorkflowTest {
 protected:
  // Index of the first event named `name`, or -1.
  int IndexOf(const std::string& name) const {
    const std::vector<RecordedEvent> all = events_.Events();
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }

  bool Logged(const std::string& tag, const std::string& text) const {
    for (const std::string& line : events_.Logs()) {
      if (line == tag + "|" + text) return true;
    }
    return false;
  }
};

// A camera that never delivers a frame: the match ends at its time-out with result
// 0, the time-out prompt and the failure report to the illuminator, then closes.
TEST_F(StalledCamera, MatchWithoutFramesEndsAtItsTimeOut) {
  UseSubject(31, "stalled");
  ctrl_->SetMatchIrisTimeout(2);
  std::vector<int32_t> db(128, 0x3c3c3c3c);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  const uint32_t start = platform::GetTickCount();
  ASSERT_EQ(ctrl_->MatchIris(nullptr, 0, db.data(), 1, nullptr, 0, 0, 0), 1);
  ASSERT_TRUE(WaitForEvent("MatchIrisEvent", 10000));
  const uint32_t took = platform::TicksSince(start);
  EXPECT_GE(took, 2000u);
  EXPECT_LT(took, 5000u);
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));
  EXPECT_LT(IndexOf("MatchIrisEvent"), IndexOf("CloseCameraEvent"));
  EXPECT_EQ(events_.Events()[size_t(IndexOf("MatchIrisEvent"))].ints,
            (std::vector<int32_t>{-1, -1, -1, 0}));
  EXPECT_EQ(ctrl_->m_lastResult, -2);
  EXPECT_EQ(ctrl_->m_sessionMode, control::ModeIdle);
  EXPECT_TRUE(Logged("match", kNoFramesLine));
  EXPECT_TRUE(Logged("match", "timeout"));
  ASSERT_FALSE(Prompts().empty());
  EXPECT_EQ(Prompts().back(), 205);
  EXPECT_TRUE(ContainsInOrder(HidCodes(), {CmdSessionStart, CmdSessionStop, CmdResultFail}));
}

// The camera goes away during step 0 of a both-eye enrollment: the capture layer
// reports it, the step still ends at its time-out with -1 (both eyes timed out), and
// only then is the camera closed.
TEST_F(StalledCamera, UnpluggedDuringEnrollmentEndsAtTheTimeOut) {
  UseSubject(32, "gone:400,unplugged");
  ctrl_->SetEnrollIrisTimeout(2);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  const uint32_t start = platform::GetTickCount();
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForEvent("EnrollBothIrisEvent", 10000));
  const uint32_t took = platform::TicksSince(start);
  EXPECT_GE(took, 2000u);
  EXPECT_LT(took, 5000u);
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));
  EXPECT_LT(IndexOf("EnrollBothIrisEvent"), IndexOf("CloseCameraEvent"));
  EXPECT_EQ(events_.Events()[size_t(IndexOf("EnrollBothIrisEvent"))].ints.back(), -1);
  EXPECT_EQ(ctrl_->m_big.stepResult[0], -20);
  EXPECT_EQ(ctrl_->m_big.stepResult[1], -20);
  EXPECT_THAT(events_.Logs(), ::testing::Contains(::testing::HasSubstr("视频设备停止工作")));
  EXPECT_TRUE(Logged("enroll", kNoFramesLine));
  EXPECT_THAT(Prompts(), ::testing::Contains(202));
  EXPECT_TRUE(ContainsInOrder(HidCodes(), {CmdSessionStart, CmdSessionStop, CmdResultFail}));
  EXPECT_FALSE(ctrl_->m_irisOpen);
  EXPECT_EQ(events_.Count("CloseCameraEvent"), 1u);
}

// The camera is reported lost between the two steps of an enrollment (step 0 done, the
// result handler starting step 1, not armed yet): the enrollment still ends with one
// result, and the camera is closed once, after it. (The camera here keeps delivering,
// so step 1 completes.)
TEST_F(StalledCamera, CameraLostBetweenTheStepsIsClosedAfterTheResult) {
  UseSubject(35, "present");
  ctrl_->SetEnrollIrisTimeout(5);
  // (Left in place to the end: session threads log until the control is gone.)
  const auto reported = std::make_shared<std::atomic<bool>>(false);
  control::COcuvantCtrl* ctrl = ctrl_.get();
  events_.onLog = [reported, ctrl](const std::string&, const std::string& log) {
    // Logged by the handler that starts step 1, on the host's thread.
    if (log.rfind("------------------->开始1(", 0) == 0 && !reported->exchange(true)) {
      ctrl->OnCameraLost("IrisCapture");
    }
  };
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForEvent("EnrollBothIrisEvent", 20000));
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));
  PumpUntil([] { return false; }, 500);  // a second close would arrive by now
  EXPECT_TRUE(*reported);
  EXPECT_EQ(events_.Count("EnrollBothIrisEvent"), 1u);
  EXPECT_EQ(events_.Count("CloseCameraEvent"), 1u);
  EXPECT_LT(IndexOf("EnrollBothIrisEvent"), IndexOf("CloseCameraEvent"));
  EXPECT_EQ(events_.Events()[size_t(IndexOf("EnrollBothIrisEvent"))].ints.back(), 1);
}

// A single-eye enrollment whose camera stalls after the person closed the eyes ends
// with the single-eye failure; a camera that keeps delivering is not cut short.
TEST_F(StalledCamera, SingleEyeEnrollmentStallsAfterClosedEyes) {
  Configure(0);
  // (1.5 s of closed eyes: a loaded machine may take a while to deliver the first frames)
  UseSubject(33, "closed:1500,stalled");
  ctrl_->SetEnrollIrisTimeout(2);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollLeftIris(), 1);
  ASSERT_TRUE(WaitForEvent("EnrollLeftIrisEvent", 10000));
  EXPECT_EQ(events_.Events()[size_t(IndexOf("EnrollLeftIrisEvent"))].ints.back(), -1);
  EXPECT_EQ(ctrl_->m_small.stepResult[0], -20);
  EXPECT_GT(ctrl_->m_rejectCount, 0) << "frames before the stall were processed";
  EXPECT_TRUE(Logged("enroll", kNoFramesLine));
  EXPECT_THAT(events_.Logs(), ::testing::Contains("enroll|small left 单眼注册失败"));
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));
}

// Frames that keep coming decide the time-out themselves: the watchdog stays silent.
TEST_F(StalledCamera, DeliveringCameraTimesOutWithoutTheWatchdog) {
  UseSubject(34, "gone");
  ctrl_->SetMatchIrisTimeout(1);
  std::vector<int32_t> db(128, 0x3c3c3c3c);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->MatchIris(nullptr, 0, db.data(), 1, nullptr, 0, 0, 0), 1);
  ASSERT_TRUE(WaitForEvent("MatchIrisEvent", 10000));
  EXPECT_TRUE(Logged("match", "timeout"));
  EXPECT_FALSE(Logged("match", kNoFramesLine));
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));
}

}  // namespace
}  // namespace ocuvant::testing
