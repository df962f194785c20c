// Enrollment sessions end to end through the simulator: both steps, failures, the
// per-eye rules, feedback to the person and to the illuminator, dumps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "device/illuminator_command.h"
#include "support/dump_names.h"
#include "tests/workflows/replay_frames.h"
#include "tests/workflows/workflow_fixture.h"

namespace ocuvant::testing {
namespace {

using control::ModeEnrollBoth;
using control::ModeEnrollLeft;
using namespace device;

bool AllZero(const int32_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

class EnrollScenario : public WorkflowTest {};

// A complete Big enrollment: the HID dialogue in order, prompts, the step templates in
// the array event, the events' order, the reports and the dumps of the chosen images.
TEST_F(EnrollScenario, BothEyesBothStepsBig) {
  UseSubject(41);
  const std::string dir = ctrl_->m_moduleDir;
  for (int eye = 0; eye < 2; ++eye) {
    std::filesystem::remove(support::EnrollIrisImageName(dir, eye, "big"));
  }
  const RecordedEvent e = EnrollOk(ModeEnrollBoth);
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));

  // Left and right Big areas: both step templates present and different.
  for (int eye = 0; eye < 2; ++eye) {
    const int32_t* area = e.areas[2 + eye].data();
    EXPECT_FALSE(AllZero(area, 128)) << "step-0 template of eye " << eye;
    EXPECT_FALSE(AllZero(area + 128, 128)) << "step-1 template of eye " << eye;
    EXPECT_NE(std::memcmp(area, area + 128, 512), 0);
    EXPECT_TRUE(AllZero(e.areas[eye].data(), 256)) << "Small is not enabled";
    EXPECT_TRUE(AllZero(e.areas[4 + eye].data(), 256)) << "Q5 is not enabled";
  }
  EXPECT_NE(std::memcmp(e.areas[2].data(), e.areas[3].data(), 512), 0) << "left and right differ";

  const std::vector<RecordedEvent> all = events_.Events();
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[all.size() - 2].name, "EnrollBothIrisEvent");
  EXPECT_EQ(all.back().name, "CloseCameraEvent");
  EXPECT_EQ(all.back().ints, (std::vector<int32_t>{0, 0}));

  const std::vector<uint8_t> hid = HidCodes();
  EXPECT_TRUE(ContainsInOrder(hid, {CmdSessionStart, CmdIlluminatorOn, CmdSessionStart,
                                    CmdSessionStop, CmdIlluminatorOff, CmdResultOk}))
      << ::testing::PrintToString(hid);
  EXPECT_EQ(CountOf(hid, CmdResultFail), 0u);
  // The step pause: step 1 starts at least 1000 ms after the illuminator went on.
  const auto reports = illuminator_.Reports();
  uint32_t lightOn = 0, secondStart = 0;
  int starts = 0;
  for (const auto& r : reports) {
    if (r.code() == CmdIlluminatorOn && lightOn == 0) lightOn = r.tick;
    if (r.code() == CmdSessionStart && ++starts == 2) secondStart = r.tick;
  }
  EXPECT_GE(secondStart - lightOn, 1000u);

  const std::vector<int32_t> prompts = Prompts();
  EXPECT_THAT(prompts, ::testing::Contains(215));
  EXPECT_THAT(prompts, ::testing::Contains(203));
  EXPECT_EQ(CountOf(prompts, 202), 0u);

  // Quality and location of the images chosen in step 1 (Big: values 21 to 40).
  const std::string q = ctrl_->GetEnrollIrisQuality();
  EXPECT_FALSE(q.empty());
  EXPECT_NE(ctrl_->m_big.enrollLocationReport[0][2], 0) << "iris radius of the chosen left image";
  for (int eye = 0; eye < 2; ++eye) {
    const auto path = support::EnrollIrisImageName(dir, eye, "big");
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(std::filesystem::file_size(path), 360u * 360u * 3u + 54u);
  }
}

// Prompt 215 does not depend on EnableVoice; the outcome prompts do.
TEST_F(EnrollScenario, StepPromptPlaysWithVoiceOffSmall) {
  Configure(0);
  ctrl_->SetEnableVoice(0);
  UseSubject(42);
  const RecordedEvent e = EnrollOk(ModeEnrollBoth);
  EXPECT_FALSE(AllZero(e.areas[0].data(), 256));
  const std::vector<int32_t> prompts = Prompts();
  EXPECT_EQ(CountOf(prompts, 215), 1u);
  EXPECT_EQ(CountOf(prompts, 203), 0u);
  EXPECT_EQ(CountOf(prompts, 202), 0u);
}

// Single-eye enrollment of the left eye with Q5: only the left area is filled.
TEST_F(EnrollScenario, LeftEyeOnlyQ5) {
  Configure(2);
  UseSubject(43);
  const RecordedEvent e = EnrollOk(ModeEnrollLeft);
  ASSERT_EQ(e.areas.size(), 3u);
  EXPECT_FALSE(AllZero(e.areas[2].data(), 128));
  EXPECT_FALSE(AllZero(e.areas[2].data() + 128, 128));
  EXPECT_TRUE(AllZero(ctrl_->m_q5.templates[1], 256)) << "the right eye was not enrolled";
  const auto logs = events_.Logs();
  EXPECT_THAT(logs, ::testing::Contains("enroll|单眼注册成功"));
}

// The left eye finishing first is no longer processed while the right eye goes on; a
// right eye that never gets accepted ends the step at its time-out with -1, and the
// failed kind's dumps are written.
TEST_F(EnrollScenario, DoneEyeIsLeftAloneUntilTheStepTimesOut) {
  ReplayFolder folder("left_only");
  folder.Write(0, {51, true, false, 0});
  UseReplay(folder.path());
  ctrl_->SetEnrollIrisTimeout(2);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  const uint32_t start = platform::GetTickCount();
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForEvent("EnrollBothIrisEvent", 10000));
  const uint32_t took = platform::TicksSince(start);
  EXPECT_EQ(events_.Events().front().ints[0], -1);
  EXPECT_GE(took, 2000u);
  EXPECT_LT(took, 4500u);
  EXPECT_EQ(ctrl_->m_big.stepResult[0], 1);
  EXPECT_EQ(ctrl_->m_big.accepted[0], 3) << "the done eye was fed more images";
  EXPECT_EQ(ctrl_->m_big.stepResult[1], -20);
  EXPECT_GT(ctrl_->m_rejectCount, 0);
  const std::vector<uint8_t> hid = HidCodes();
  EXPECT_TRUE(ContainsInOrder(hid, {CmdSessionStart, CmdSessionStop, CmdResultFail}));
  EXPECT_EQ(CountOf(hid, CmdIlluminatorOn), 0u) << "step 0 never finished";
  EXPECT_THAT(Prompts(), ::testing::Contains(202));
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));
}

// Three accepted images of three different people never make a consistent template:
// the fifth rejected batch ends the enrollment with -1 and prompt 202, long before
// the time-out.
TEST_F(EnrollScenario, FiveRejectedBatchesFail) {
  ReplayFolder folder("strangers");
  for (int n = 0; n < 3; ++n) folder.Write(n, {uint64_t(61 + n), true, true, 0});
  UseReplay(folder.path());
  ctrl_->SetEnrollIrisTimeout(20);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  const uint32_t start = platform::GetTickCount();
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForEvent("EnrollBothIrisEvent", 15000));
  EXPECT_LT(platform::TicksSince(start), 10000u);
  EXPECT_EQ(events_.Events().front().ints[0], -1);
  const int failedEye = ctrl_->m_big.stepResult[0] == -1 ? 0 : 1;
  EXPECT_EQ(ctrl_->m_big.stepResult[failedEye], -1);
  EXPECT_EQ(ctrl_->m_big.attempts[failedEye], 4) << "five batches: four retries";
  EXPECT_GE(CountOf(Prompts(), 202), 1u);
  EXPECT_TRUE(ContainsInOrder(HidCodes(), {CmdSessionStart, CmdResultFail}));
}

// Rejections of a defocused person (focus codes -1, -2) send no quality hint; a person
// whose eyes are closed (other codes) does. Both steps time out with -1.
TEST_F(EnrollScenario, QualityHintOnlyForNonFocusRejections) {
  ctrl_->SetEnrollIrisTimeout(1);
  UseSubject(71, "defocused");
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForEvent("EnrollBothIrisEvent", 10000));
  ASSERT_TRUE(WaitForEvent("CloseCameraEvent", 3000));
  const int32_t focusCode = ctrl_->m_workflow.progress[1][0].lastRejection;
  ASSERT_TRUE(focusCode == -1 || focusCode == -2) << focusCode;
  EXPECT_GT(ctrl_->m_rejectCount, 0);
  EXPECT_EQ(CountOf(HidCodes(), CmdQualityHint), 0u);
  EXPECT_EQ(events_.Events().front().ints[0], -1);

  illuminator_.ClearReports();
  UseSubject(71, "closed");
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return events_.Count("EnrollBothIrisEvent") == 2; }, 10000));
  const int32_t code = ctrl_->m_workflow.progress[1][0].lastRejection;
  ASSERT_LT(code, -2) << "closed eyes are not a focus failure";
  EXPECT_GT(CountOf(HidCodes(), CmdQualityHint), 0u);
}

}  // namespace
}  // namespace ocuvant::testing
