// The control object: defaults, configuration methods, g_control, IObjectSafety.
#include <gtest/gtest.h>

#include <filesystem>

#include "control/invoke.h"
#include "control/ocuvant_ctrl.h"
#include "session/settings.h"
#include "session/voice_prompt.h"

namespace ocuvant::control {
namespace {

Value Get(COcuvantCtrl& c, const char* name) {
  InvokeResult r = Invoke(c, name, InvokeKind::PropertyGet, {});
  EXPECT_TRUE(r.ok()) << r.error;
  return r.value;
}

TEST(ControlObject, NewControlHasTheDocumentedDefaults) {
  auto c = COcuvantCtrl::Create();
  EXPECT_EQ(Get(*c, "StringMode"), Value(0));
  EXPECT_EQ(Get(*c, "CameraIDIris"), Value(std::string()));
  EXPECT_EQ(Get(*c, "EnableVoice"), Value(1));
  EXPECT_EQ(Get(*c, "EnrollIrisTimeout"), Value(30));
  EXPECT_EQ(Get(*c, "MatchIrisTimeout"), Value(20));
  EXPECT_EQ(Get(*c, "CameraIDVisible"), Value(std::string("usb#vid_05e3&pid_f11d")));
  EXPECT_EQ(Get(*c, "CameraIDInfrared"), Value(std::string("usb#vid_05e3&pid_f11c")));
  EXPECT_EQ(Get(*c, "Burger"), Value(std::string(session::kDefaultBurger)));
  EXPECT_EQ(c->m_cameraParams[0], session::kDefaultIrisCameraParams);
  EXPECT_EQ(c->m_cameraParams[1], "");
  EXPECT_EQ(c->m_sessionMode, ModeIdle);
  EXPECT_TRUE(c->m_framesIgnored);
  EXPECT_TRUE(c->m_irisHidCtl);
  EXPECT_EQ(c->m_bkCaptureCamera, 1);
  EXPECT_EQ(c->m_face.hintInterval, 3000);
  EXPECT_EQ(c->m_face.acceptInterval, 800);
  EXPECT_FALSE(c->m_irisReadyEvent.IsSet());
  EXPECT_FALSE(c->IsModified());
  // Snapshot names hang off the module directory, as this platform writes them (they
  // are reported to the host in PhotoCaptureEvent): a file in that directory.
  EXPECT_EQ(c->m_moduleDir.back(), '/');
  EXPECT_EQ(c->m_enrollSnapshotPath, c->m_moduleDir + "CaptureForIrisEnroll.bmp");
  EXPECT_EQ(c->m_matchSnapshotPath, c->m_moduleDir + "CaptureForIrisMatch.bmp");
  EXPECT_EQ(std::filesystem::path(c->m_enrollSnapshotPath).parent_path(),
            std::filesystem::path(c->m_moduleDir).parent_path());
  // Prompts play without a host's help: the control has a player of its own.
  ASSERT_NE(c->m_voicePlayer, nullptr);
  EXPECT_EQ(c->m_voicePlayer->PlayPrompt(202), 1);
  EXPECT_EQ(c->m_voicePlayer->PlayPrompt(9999), 0);
  // Every image buffer lives in the object: the three kinds' eye images, caches and
  // crops with the grey frame (about 31 MiB), plus the workflow's working buffers;
  // nothing else of any size.
  const size_t images = sizeof(c->m_small) + sizeof(c->m_big) + sizeof(c->m_q5) +
                        sizeof(c->m_grayFrame) + sizeof(c->m_workflow);
  EXPECT_GT(sizeof(c->m_small) + sizeof(c->m_big) + sizeof(c->m_q5) + sizeof(c->m_grayFrame),
            size_t{30} << 20);
  EXPECT_GE(sizeof(COcuvantCtrl), images);
  EXPECT_LT(sizeof(COcuvantCtrl), images + (size_t{1} << 20));
  EXPECT_LT(sizeof(COcuvantCtrl), size_t{36} << 20);
}

TEST(ControlObject, FixedAnswersAndQualityReports) {
  auto c = COcuvantCtrl::Create();
  EXPECT_EQ(c->GetVersion(), "");
  EXPECT_EQ(c->CaptureIrisImage("x.bmp"), 0);
  EXPECT_EQ(c->CaptureIrisImage(""), 0);
  std::string zeros46 = "0";
  for (int i = 1; i < 46; ++i) zeros46 += "-0";
  EXPECT_EQ(c->GetEnrollIrisQuality(), zeros46);
  EXPECT_EQ(c->GetMatchIrisQuality(), "0-0-0-0-0-0-0-0-0-0");
  // Order: Small left q/loc, Small right q/loc, Big left, Big right, Q5 left, Q5 right.
  c->m_small.enrollQualityReport[EyeLeft][0] = 7;
  c->m_small.enrollLocationReport[EyeRight][3] = -4;
  c->m_big.enrollQualityReport[EyeLeft][5] = 12;
  c->m_q5.enrollQualityReport[EyeRight][2] = 99;
  c->m_q5.enrollQualityReport[EyeRight][3] = 55;  // Q5 reports three values only
  std::string s = c->GetEnrollIrisQuality();
  EXPECT_EQ(s,
            "7-0-0-0-0-0-0-0-0-0-0-0-0-0-0-0-0-0-0--4-0-0-0-0-0-12-0-0-0-0-0-0-0-0-0-0-0-0-0-0-0-"
            "0-0-0-0-99");
  c->m_small.matchQualityReport[0] = -1;
  c->m_small.matchLocationReport[3] = 2147483647;
  EXPECT_EQ(c->GetMatchIrisQuality(), "-1-0-0-0-0-0-0-0-0-2147483647");
}

TEST(ControlObject, CameraParamsAndThresholdsAreStoredByKind) {
  auto c = COcuvantCtrl::Create();
  const std::string before[3] = {c->m_cameraParams[0], c->m_cameraParams[1], c->m_cameraParams[2]};
  EXPECT_EQ(c->SetCameraParams(3, "{\"camera_gain\":\"1\"}"), 1);
  EXPECT_EQ(c->SetCameraParams(-1, "x"), 1);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(c->m_cameraParams[k], before[k]);
  EXPECT_EQ(c->SetCameraParams(2, "{}"), 1);
  EXPECT_EQ(c->m_cameraParams[2], "{}");
  EXPECT_EQ(c->m_cameraParams[0], before[0]);

  EXPECT_EQ(c->SetEnrollIrisQuality(2, 70, 40, 55, 99, 99), -1);
  const session::QualitySet& e = c->m_enrollQuality;
  EXPECT_EQ(std::vector<int32_t>(e.q5, e.q5 + 3), (std::vector<int32_t>{70, 40, 55}));
  EXPECT_EQ(std::vector<int32_t>(e.big, e.big + 5), (std::vector<int32_t>{60, 35, 50, 60, 30}));
  EXPECT_EQ(std::vector<int32_t>(e.small, e.small + 5), (std::vector<int32_t>{60, 35, 50, 60, 30}));
  const session::QualitySet& m = c->m_matchQuality;
  EXPECT_EQ(std::vector<int32_t>(m.q5, m.q5 + 3), (std::vector<int32_t>{50, 33, 50}));
  EXPECT_EQ(c->SetMatchIrisQuality(0, 1, 2, 3, 4, 5), -1);
  EXPECT_EQ(std::vector<int32_t>(m.small, m.small + 5), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(std::vector<int32_t>(m.big, m.big + 5), (std::vector<int32_t>{50, 30, 50, 50, 30}));
  EXPECT_EQ(c->SetMatchIrisQuality(3, 9, 9, 9, 9, 9), -1);
  EXPECT_EQ(std::vector<int32_t>(m.small, m.small + 5), (std::vector<int32_t>{1, 2, 3, 4, 5}));
}

TEST(ControlObject, PropertyChangesMarkTheControlModified) {
  auto c = COcuvantCtrl::Create();
  ASSERT_TRUE(Invoke(*c, "MatchIrisTimeout", InvokeKind::PropertyPut, {Value(7)}).ok());
  EXPECT_TRUE(c->IsModified());
  EXPECT_EQ(c->GetMatchIrisTimeout(), 7);
}

TEST(ControlObject, NewestControlWinsAndADestroyedOneLeavesNoDanglingPointer) {
  auto first = COcuvantCtrl::Create();
  EXPECT_EQ(g_control.load(), first.get());
  auto second = COcuvantCtrl::Create();
  EXPECT_EQ(g_control.load(), second.get());
  first.reset();  // an older control going away does not take over g_control
  EXPECT_EQ(g_control.load(), second.get());
  second.reset();
  EXPECT_EQ(g_control.load(), nullptr);
}

TEST(ControlObject, ObjectSafetyReportsThreeAndThree) {
  auto c = COcuvantCtrl::Create();
  IObjectSafety& safety = c->ObjectSafetyPart();
  const Guid anyIid{0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
  uint32_t supported = 0, enabled = 0;
  EXPECT_EQ(safety.GetInterfaceSafetyOptions(anyIid, nullptr, &enabled), E_POINTER);
  EXPECT_EQ(safety.GetInterfaceSafetyOptions(anyIid, &supported, nullptr), E_POINTER);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(safety.GetInterfaceSafetyOptions(anyIid, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 3u);
  EXPECT_EQ(safety.SetInterfaceSafetyOptions(anyIid, 0xFFFFFFFFu, 0), S_OK);
}

}  // namespace
}  // namespace ocuvant::control
