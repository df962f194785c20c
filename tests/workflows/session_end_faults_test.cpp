// How enrollments end when something goes wrong between or after their steps: a
// failed step 1, a step 1 that cannot start, an iris camera asked for while it is
// still closing. Each session ends with its own result, its own templates and the
// fill light off.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "control/session_lifecycle.h"
#include "device/illuminator_command.h"
#include "tests/workflows/workflow_fixture.h"

namespace ocuvant::testing {
namespace {

using namespace device;

constexpr uint32_t kResultMs = 30000;
constexpr uint32_t kCloseMs = 3000;

class SessionEnd : public WorkflowTest {
 protected:
  // Position of the last event named `name`, or -1.
  int LastIndex(const std::string& name) const {
    const auto all = events_.Events();
    for (size_t i = all.size(); i-- > 0;) {
      if (all[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }
  bool WaitForCount(const std::string& name, size_t n, uint32_t ms) {
    return PumpUntil([&] { return events_.Count(name) >= n; }, ms);
  }
  RecordedEvent Last(const std::string& name) const { return events_.Events()[LastIndex(name)]; }
  // Pumps until step 0 has ended (the fill light went on for step 1).
  bool WaitForStepZero(size_t lightsBefore) {
    return PumpUntil([&] { return CountOf(HidCodes(), CmdIlluminatorOn) > lightsBefore; },
                     kResultMs);
  }
  // The last HID report switching the fill light on came before one switching it off.
  bool LightOffAfterLastOn() const {
    const std::vector<uint8_t> hid = illuminator_.Codes();
    int lastOn = -1, lastOff = -1;
    for (size_t i = 0; i < hid.size(); ++i) {
      if (hid[i] == CmdIlluminatorOn) lastOn = static_cast<int>(i);
      if (hid[i] == CmdIlluminatorOff) lastOff = static_cast<int>(i);
    }
    return lastOff > lastOn;
  }
};

// Step 1 of one person's enrollment fails; the next enrollment the host starts, for
// another person, begins again at step 0: it is refused while that one is armed, it
// switches the light on between its steps, and its event carries only the new
// person's templates.
TEST_F(SessionEnd, EnrollmentAfterAFailedStepOneStartsAtStepZero) {
  UseSubject(41);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForStepZero(0));
  ctrl_->SetEnrollIrisTimeout(0);  // step 1 times out at its first frame
  ASSERT_TRUE(WaitForCount("EnrollBothIrisEvent", 1, kResultMs));
  const RecordedEvent failed = Last("EnrollBothIrisEvent");
  ASSERT_EQ(failed.ints[0], -1);
  const std::array<int32_t, 256> firstPersonLeft = failed.areas[2];  // Big left, step 0
  ASSERT_NE(std::count(firstPersonLeft.begin(), firstPersonLeft.begin() + 128, 0), 128);
  ASSERT_TRUE(PumpUntil([&] { return !ctrl_->m_irisOpen; }, kCloseMs));
  EXPECT_EQ(ctrl_->m_enrollStep, 0);

  ctrl_->SetEnrollIrisTimeout(30);
  UseSubject(43);
  const size_t lights = CountOf(HidCodes(), CmdIlluminatorOn);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return ctrl_->m_sessionMode != control::ModeIdle; }, 6000));
  EXPECT_EQ(ctrl_->EnrollLeftIris(), -100) << "a second start while the first is armed";
  ASSERT_TRUE(WaitForCount("EnrollBothIrisEvent", 2, kResultMs));
  const RecordedEvent second = Last("EnrollBothIrisEvent");
  EXPECT_EQ(second.ints[0], 1);
  EXPECT_GT(CountOf(HidCodes(), CmdIlluminatorOn), lights) << "step 0 ran with its light change";
  for (int area = 2; area < 4; ++area) {
    EXPECT_NE(std::memcmp(second.areas[area].data(), failed.areas[area].data(), 512), 0)
        << "the first person's step-0 template was handed out again, area " << area;
  }
  ASSERT_TRUE(PumpUntil([&] { return !ctrl_->m_irisOpen; }, kCloseMs));
}

// The host stops the camera in the pause after step 0 (the fill light has just gone on,
// step 1 is not started yet). The enrollment is over: it ends with -10 and no step 1
// waits for the camera, so when the next person's camera opens nothing arms on it, and
// that person's enrollment runs both steps of its own.
TEST_F(SessionEnd, StopInThePauseAfterStepZeroEndsTheEnrollment) {
  UseSubject(41);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForStepZero(0));
  ASSERT_EQ(ctrl_->StopIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !ctrl_->m_irisOpen && !ctrl_->IrisClosing(); }, kCloseMs));

  // The next person's camera opens at once; a step 1 left waiting would arm on it.
  UseSubject(43);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ctrl_->ControlWindow().Pump(1500);
  EXPECT_EQ(ctrl_->m_sessionMode, control::ModeIdle) << "the stopped enrollment's step 1 armed";
  EXPECT_EQ(ctrl_->m_enrollStep, 0);
  EXPECT_EQ(events_.Count("CloseCameraEvent"), 1u) << "the host's close is the only one";
  ASSERT_EQ(events_.Count("EnrollBothIrisEvent"), 1u);
  const RecordedEvent stopped = Last("EnrollBothIrisEvent");
  EXPECT_EQ(stopped.ints[0], -10);
  for (const auto& area : stopped.areas) {
    EXPECT_EQ(std::count(area.begin(), area.end(), 0), 256) << "a stopped enrollment's templates";
  }
  const size_t lights = CountOf(HidCodes(), CmdIlluminatorOn);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForCount("EnrollBothIrisEvent", 2, kResultMs));
  EXPECT_EQ(Last("EnrollBothIrisEvent").ints[0], 1);
  EXPECT_GT(CountOf(HidCodes(), CmdIlluminatorOn), lights) << "step 0 ran with its light change";
  ASSERT_TRUE(PumpUntil([&] { return !ctrl_->m_irisOpen; }, kCloseMs));
}

// The host makes the configuration invalid during step 0: step 1 cannot start, and
// the enrollment ends with that failure (-200) in one event; the camera closes and
// the fill light goes off.
TEST_F(SessionEnd, StepOneThatCannotStartEndsTheEnrollment) {
  UseSubject(41);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollLeftIris(), 1);
  ctrl_->SetBurger("{\"with_big_iris\":\"1\",\"with_small_iris\":\"1\"}");  // two kinds
  ASSERT_TRUE(WaitForStepZero(0));
  ASSERT_TRUE(WaitForCount("EnrollLeftIrisEvent", 1, kResultMs));
  EXPECT_EQ(Last("EnrollLeftIrisEvent").ints[0], -200);
  ASSERT_TRUE(WaitForCount("CloseCameraEvent", 1, kCloseMs));
  EXPECT_FALSE(ctrl_->m_irisOpen);
  EXPECT_EQ(ctrl_->m_enrollStep, 0);
  EXPECT_TRUE(LightOffAfterLastOn());
  EXPECT_EQ(CountOf(HidCodes(), CmdResultFail), 1u);
  ctrl_->ControlWindow().Pump(300);
  EXPECT_EQ(events_.Count("EnrollLeftIrisEvent"), 1u);
}

// Records like RecordingEvents and runs a host's handler inside the result events.
class HandlerEvents final : public control::EventSink {
 public:
  explicit HandlerEvents(RecordingEvents& record) : record_(record) {}
  void EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c, const int32_t* d,
                           const int32_t* e, const int32_t* f, int32_t r) override {
    record_.EnrollBothIrisEvent(a, b, c, d, e, f, r);
    if (onResult) onResult(r);
  }
  void MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t r) override {
    record_.MatchIrisEvent(s, b, q, r);
    if (onResult) onResult(r);
  }
  void CloseCameraEvent(int32_t kind, int32_t result) override {
    record_.CloseCameraEvent(kind, result);
  }
  void LogInfo(const std::string& tag, const std::string& log) override {
    record_.LogInfo(tag, log);
  }
  std::function<void(int32_t)> onResult;

 private:
  RecordingEvents& record_;
};

// InitIris from inside the enrollment's result event, while the close that the
// handler started is still at work, opens the camera once that close is done: a
// match started right after the event sees frames and finds the person.
TEST_F(SessionEnd, InitIrisDuringTheCloseOpensTheCamera) {
  HandlerEvents sink(events_);
  ctrl_->SetEventSink(&sink);
  UseSubject(41);
  std::vector<int32_t> initResults;
  sink.onResult = [&](int32_t) { initResults.push_back(ctrl_->InitIris()); };
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForCount("EnrollBothIrisEvent", 1, kResultMs));
  sink.onResult = nullptr;
  const RecordedEvent enrolled = Last("EnrollBothIrisEvent");
  ASSERT_EQ(enrolled.ints[0], 1);
  ASSERT_EQ(initResults, std::vector<int32_t>{1});
  std::vector<int32_t> db(enrolled.areas[2].begin(), enrolled.areas[2].begin() + 128);
  ASSERT_EQ(ctrl_->MatchIris(nullptr, 0, db.data(), 1, nullptr, 0, 0, 0), 1);
  ASSERT_TRUE(WaitForCount("MatchIrisEvent", 1, kResultMs));
  const RecordedEvent match = Last("MatchIrisEvent");
  EXPECT_EQ(match.ints[3], 20) << "the person in front of the camera was not found";
  EXPECT_EQ(match.ints[1], 0);
  // The enrollment's close chained the iris camera (no CloseCameraEvent for it); the
  // match's close is reported.
  ASSERT_TRUE(WaitForCount("CloseCameraEvent", 1, kCloseMs));
  ctrl_->ControlWindow().Pump(300);
  EXPECT_EQ(events_.Count("CloseCameraEvent"), 1u);
  EXPECT_EQ(LastIndex("CloseCameraEvent"), LastIndex("MatchIrisEvent") + 1);
  ctrl_->SetEventSink(&events_);
}

// InitIris and then StopIris from inside the result event, while its close is at work:
// the host's latest request is the stop, so the camera stays closed (the InitIris that
// marked it to open again is taken back).
TEST_F(SessionEnd, StopIrisAfterAnInitIrisDuringTheCloseLeavesTheCameraClosed) {
  HandlerEvents sink(events_);
  ctrl_->SetEventSink(&sink);
  UseSubject(41);
  std::vector<int32_t> calls;
  sink.onResult = [&](int32_t) {
    calls.push_back(ctrl_->InitIris());
    calls.push_back(ctrl_->StopIris());
  };
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(WaitForCount("EnrollBothIrisEvent", 1, kResultMs));
  sink.onResult = nullptr;
  EXPECT_EQ(calls, (std::vector<int32_t>{1, 1}));
  ASSERT_TRUE(WaitForCount("CloseCameraEvent", 1, kCloseMs));
  ctrl_->ControlWindow().Pump(1500);  // a reopen would have happened by now
  EXPECT_FALSE(ctrl_->m_irisOpen.load());
  EXPECT_EQ(control::IrisStateOf(*ctrl_), control::IrisState::NoCamera);
  EXPECT_EQ(LastIndex("CloseCameraEvent"), static_cast<int>(events_.Events().size()) - 1);
  ctrl_->SetEventSink(&events_);
}

// The same with InitIris called just after the event, while the close still waits
// for the frame that reported the result; and StopIris followed at once by InitIris.
TEST_F(SessionEnd, InitIrisRightAfterACloseStartedOpensTheCamera) {
  UseSubject(41);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->StopIris(), 1);
  EXPECT_EQ(ctrl_->InitIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return ctrl_->m_irisOpen.load(); }, kCloseMs));
  EXPECT_EQ(events_.Count("CloseCameraEvent"), 0u) << "a chained open: no close event";
  EXPECT_TRUE(ctrl_->m_irisReadyEvent.IsSet());
  ASSERT_EQ(ctrl_->EnrollLeftIris(), 1);
  ASSERT_TRUE(WaitForCount("EnrollLeftIrisEvent", 1, kResultMs));
  EXPECT_EQ(Last("EnrollLeftIrisEvent").ints[0], 1);
}

}  // namespace
}  // namespace ocuvant::testing
