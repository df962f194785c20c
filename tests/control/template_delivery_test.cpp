// Templates crossing the boundary: hexadecimal text and the result events of the
// control's window, in array and string mode.
#include <gtest/gtest.h>

#include <cstring>

#include "control/ocuvant_ctrl.h"
#include "control/template_delivery.h"

namespace ocuvant::control {
namespace {

TEST(TemplateHex, StepZeroHalfAsLowercaseHexOrEmpty) {
  uint8_t area[1024] = {};
  EXPECT_EQ(TemplateHex(area), "");
  area[600] = 0xFF;  // the step-1 half is never shown
  EXPECT_EQ(TemplateHex(area), "");
  area[0] = 0x0A;
  area[511] = 0xB7;
  std::string hex = TemplateHex(area);
  ASSERT_EQ(hex.size(), 1024u);
  EXPECT_EQ(hex.substr(0, 4), "0a00");
  EXPECT_EQ(hex.substr(1020), "00b7");
  // Memory order: the int32 view's first element 0x04030201 reads "01020304".
  int32_t words[256] = {};
  words[0] = 0x04030201;
  EXPECT_EQ(TemplateHex(words).substr(0, 8), "01020304");
}

struct Fired {
  std::string name;
  std::vector<std::string> texts;
  std::vector<const int32_t*> areas;
  int32_t result = 0;
};

class Sink final : public EventSink {
 public:
  std::vector<Fired> fired;
  void EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c, const int32_t* d,
                           const int32_t* e, const int32_t* f, int32_t r) override {
    fired.push_back({"EnrollBothIrisEvent", {}, {a, b, c, d, e, f}, r});
  }
  void EnrollLeftIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                              int32_t r) override {
    fired.push_back({"EnrollLeftIrisStrEvent", {a, b, c}, {}, r});
  }
  void EnrollRightIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                               int32_t r) override {
    fired.push_back({"EnrollRightIrisStrEvent", {a, b, c}, {}, r});
  }
  void EnrollBothIrisStrEvent(const std::string& a, const std::string& b, const std::string& c,
                              const std::string& d, const std::string& e, const std::string& f,
                              int32_t r) override {
    fired.push_back({"EnrollBothIrisStrEvent", {a, b, c, d, e, f}, {}, r});
  }
  void MatchIrisEvent(int32_t a, int32_t b, int32_t c, int32_t r) override {
    fired.push_back(
        {"MatchIrisEvent", {std::to_string(a), std::to_string(b), std::to_string(c)}, {}, r});
  }
  void CloseCameraEvent(int32_t kind, int32_t result) override {
    fired.push_back({"CloseCameraEvent", {std::to_string(kind)}, {}, result});
  }
};

class ResultEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    c = COcuvantCtrl::Create();
    c->SetEventSink(&sink);
    c->m_irisHidCtl = false;  // no illuminator on this machine
    TemplateBytes(c->m_small.templates[EyeRight])[0] = 0x0A;
    TemplateBytes(c->m_big.templates[EyeLeft])[5] = 0x11;
  }
  // Lets the close thread finish and its WM_CAMERA_CLOSED arrive.
  void Settle() {
    for (int i = 0; i < 100 && (sink.fired.empty() || sink.fired.back().name != "CloseCameraEvent");
         ++i) {
      c->ControlWindow().Pump(20);
    }
  }
  std::unique_ptr<COcuvantCtrl> c;
  Sink sink;
};

// A session that ran hands out the control's own template areas; one that never ran
// (-10: no camera) hands out none of them, since they may hold another session's.
TEST_F(ResultEvents, ArrayEventPointsIntoTheControlsTemplateAreas) {
  c->ControlWindow().Send(WM_ENROLL_BOTH_DONE, static_cast<uintptr_t>(-1));
  Settle();
  ASSERT_EQ(sink.fired.size(), 2u);
  const Fired& f = sink.fired[0];
  EXPECT_EQ(f.name, "EnrollBothIrisEvent");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(f.areas[1], c->m_small.templates[EyeRight]);
  EXPECT_EQ(f.areas[2], c->m_big.templates[EyeLeft]);
  EXPECT_EQ(f.areas[5], c->m_q5.templates[EyeRight]);
  EXPECT_EQ(sink.fired[1].name, "CloseCameraEvent");
  EXPECT_EQ(sink.fired[1].texts[0], "0");

  sink.fired.clear();
  c->m_big.templates[EyeLeft][0] = 0x1234;  // another session's data
  c->ControlWindow().Send(WM_ENROLL_BOTH_DONE, static_cast<uintptr_t>(-10));
  Settle();
  ASSERT_GE(sink.fired.size(), 1u);
  EXPECT_EQ(sink.fired[0].result, -10);
  for (const int32_t* area : sink.fired[0].areas) {
    EXPECT_NE(area, c->m_big.templates[EyeLeft]);
    EXPECT_EQ(area[0], 0);
  }
}

TEST_F(ResultEvents, FailedStringEventsFollowTheEyeRules) {
  c->SetStringMode(1);
  c->ControlWindow().Send(WM_ENROLL_LEFT_DONE, static_cast<uintptr_t>(-1));
  Settle();
  ASSERT_GE(sink.fired.size(), 1u);
  EXPECT_EQ(sink.fired[0].texts, (std::vector<std::string>{"", "", ""}));  // left: empty
  sink.fired.clear();
  c->ControlWindow().Send(WM_ENROLL_RIGHT_DONE, static_cast<uintptr_t>(-1));
  Settle();
  ASSERT_GE(sink.fired.size(), 1u);
  const Fired& right = sink.fired[0];  // right: whatever the buffers hold
  EXPECT_EQ(right.texts[0].substr(0, 2), "0a");
  EXPECT_EQ(right.texts[1], "");
  EXPECT_EQ(right.texts[2], "");
  sink.fired.clear();
  c->ControlWindow().Send(WM_ENROLL_BOTH_DONE, static_cast<uintptr_t>(-11));
  Settle();
  ASSERT_GE(sink.fired.size(), 1u);
  EXPECT_EQ(sink.fired[0].texts, std::vector<std::string>(6, ""));
  EXPECT_EQ(sink.fired[0].result, -11);
}

TEST_F(ResultEvents, MatchResultCarriesTheIndicesAndStopIrisCloses) {
  c->m_matchIndex[1] = 4;
  c->ControlWindow().Send(WM_MATCH_DONE, 21);
  Settle();
  ASSERT_EQ(sink.fired.size(), 2u);
  EXPECT_EQ(sink.fired[0].texts, (std::vector<std::string>{"-1", "4", "-1"}));
  EXPECT_EQ(sink.fired[0].result, 21);
  sink.fired.clear();
  EXPECT_EQ(c->StopIris(), 1);  // no camera open: still closes and reports it
  Settle();
  ASSERT_EQ(sink.fired.size(), 1u);
  EXPECT_EQ(sink.fired[0].name, "CloseCameraEvent");
  EXPECT_EQ(c->CloseIris(), -2);  // nothing streams
}

}  // namespace
}  // namespace ocuvant::control
