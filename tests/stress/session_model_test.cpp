// Model-based test of the iris session lifecycle: random host call sequences on the
// simulator (also from inside result events, between the steps of an enrollment,
// during closes, with the person present, absent or leaving) compared at every step
// with a small reference model of the states in control/session_lifecycle.h. It
// checks each call's result code, the state the call leaves, that no session reports
// twice and every session not cancelled by a close reports once, that a session that
// never ran hands out no template and a successful one both steps, that
// the fill light is off after every close,
// and (HangGuard) that no wait hangs. OCUVANT_MODEL_STEPS sets the steps (default
// 5000), OCUVANT_MODEL_SEED repeats a run; the seed and step are printed on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "control/session_lifecycle.h"
#include "device/illuminator_command.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "simulator/virtual_camera_backend.h"
#include "tests/stress/stress_support.h"
#include "tests/workflows/workflow_fixture.h"

namespace ocuvant::stress {
namespace {

using control::IrisState;

constexpr size_t kDefaultSteps = 5000;
constexpr uint32_t kHangLimitMs = 60000;
constexpr uint32_t kSettleMs = 20000;
// Present, gone, back, looking away: sessions meet every kind of frame.
constexpr char kScript[] = "present:2500,gone:1200,present:900,away:400,far:300,loop";
constexpr char kIrisCloseLine[] = "video|关闭虹膜视频...,next:0";

// Forwards every event to the recorder and lets the test act inside result events,
// as a host's handler does.
class HandlerSink final : public control::EventSink {
 public:
  explicit HandlerSink(StressEvents& record) : record_(record) {}
  void LogInfo(const std::string& t, const std::string& l) override { record_.LogInfo(t, l); }
  void EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c, const int32_t* d,
                           const int32_t* e, const int32_t* f, int32_t r) override {
    record_.EnrollBothIrisEvent(a, b, c, d, e, f, r);
    Handle();
  }
  void EnrollLeftIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                           int32_t r) override {
    record_.EnrollLeftIrisEvent(a, b, c, r);
    Handle();
  }
  void EnrollRightIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                            int32_t r) override {
    record_.EnrollRightIrisEvent(a, b, c, r);
    Handle();
  }
  void MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t r) override {
    record_.MatchIrisEvent(s, b, q, r);
    Handle();
  }
  void CloseCameraEvent(int32_t kind, int32_t result) override {
    record_.CloseCameraEvent(kind, result);
  }
  std::function<void()> onResult;

 private:
  void Handle() {
    if (onResult) onResult();
  }
  StressEvents& record_;
};

class SessionModel : public testing::WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    simulator::VirtualCameraConfig cameras;
    cameras.subjectSeed = 41;
    cameras.script = kScript;
    cameras.visibleCamera = cameras.infraredCamera = false;
    cameras.illuminatorOn = [this] { return illuminator_.FillLightOn(); };
    std::string error;
    ASSERT_TRUE(simulator::InstallVirtualCameras(cameras, &error)) << error;
    ctrl_->SetEventSink(&sink_);
    ctrl_->ParseSettings();
    platform::SetMessageBoxHandler([](const std::string&, const std::string&) {});
  }
  void TearDown() override {
    sink_.onResult = nullptr;
    WorkflowTest::TearDown();
    platform::SetMessageBoxHandler(nullptr);
  }

  enum Op {
    kInitIris,
    kEnrollBoth,
    kEnrollLeft,
    kEnrollRight,
    kMatch,
    kStop,
    kClose,
    kTimeOuts,
    kPump,
    kWaitResult,
    kOpCount
  };
  static constexpr double kWeights[kOpCount] = {5, 2, 1.5, 1.5, 2.5, 1.5, 1.5, 1, 8, 0.7};
  static constexpr const char* kNames[kOpCount] = {
      "InitIris",  "EnrollBothIris", "EnrollLeftIris", "EnrollRightIris",  "MatchIris", "StopIris",
      "CloseIris", "time-outs",      "pump",           "wait for a result"};

  // ---- The reference model ----
  // Started sessions not yet reported, and how many of them a host close may have
  // cancelled (a session stopped by the host ends without an event).
  int outstanding_ = 0;
  int cancellable_ = 0;
  size_t resultsSeen_ = 0;
  std::vector<int32_t> personDb_;  // templates of the simulated person

  // Expected result of a host start in `before` (the state just before the call).
  std::set<int32_t> ExpectedStart(IrisState before) const {
    switch (before) {
      case IrisState::Armed:
      case IrisState::BetweenSteps:
        return {-100};
      case IrisState::Open:
        // With a session outstanding: refused while it is about to arm or ending (its
        // frame holds the capture lock); taken when its result is only queued.
        return outstanding_ > 0 ? std::set<int32_t>{1, -100} : std::set<int32_t>{1};
      case IrisState::NoCamera:  // refused while a step 1 waits for the camera
        return outstanding_ > 0 ? std::set<int32_t>{1, -100} : std::set<int32_t>{1};
      default:  // Closing: refused until the close has set the mode idle
        return {1, -100};
    }
  }

  int32_t Start(Op op) {
    switch (op) {
      case kEnrollBoth:
        return ctrl_->EnrollBothIris();
      case kEnrollLeft:
        return ctrl_->EnrollLeftIris();
      case kEnrollRight:
        return ctrl_->EnrollRightIris();
      default: {
        const std::vector<int32_t>& db = personDb_.empty() || rng_() % 2 ? strangers_ : personDb_;
        return ctrl_->MatchIris(nullptr, 0, db.data(), static_cast<int32_t>(db.size() / 128),
                                nullptr, 0, 0, 0);
      }
    }
  }

  // Checks the result events that arrived since the last look against the model.
  void TakeResults(const std::string& where) {
    const std::vector<StressEvent> results = all_.ResultsSince(0);
    for (; resultsSeen_ < results.size(); ++resultsSeen_) {
      const StressEvent& e = results[resultsSeen_];
      --outstanding_;
      ASSERT_GE(outstanding_, 0) << where << ": a result event nobody started: " << e.name;
      // Templates: a session that never ran (-10, -11) hands out none (its buffers may
      // hold another session's); a successful enrollment hands out both steps of every
      // enrolled eye. (Equal bytes across sessions are not a fault here: the simulator
      // renders a still person identically.)
      const int32_t r = e.ints[0];
      for (size_t a = 0; a < e.areas.size(); ++a) {
        const std::vector<int32_t>& area = e.areas[a];
        auto zero = [&](int half) {
          return std::all_of(area.begin() + 128 * half, area.begin() + 128 * (half + 1),
                             [](int32_t v) { return v == 0; });
        };
        if (r == -10 || r == -11) {
          ASSERT_TRUE(zero(0) && zero(1)) << where << ": " << e.name << "(" << r << ") area " << a;
        }
        const bool bigArea = e.areas.size() == 6 ? (a == 2 || a == 3) : a == 1;
        if (r == 1 && bigArea) {
          ASSERT_FALSE(zero(0) || zero(1)) << where << ": " << e.name << " area " << a;
          if (personDb_.size() < 128 * 8) {
            personDb_.insert(personDb_.end(), area.begin(), area.begin() + 128);
          }
        }
      }
    }
    cancellable_ = std::min(cancellable_, outstanding_);
  }

  // Inside a result event: what a host's handler may do there.
  void InHandler() {
    if (!inHandlerCalls_) return;
    const int pick = static_cast<int>(rng_() % 6);
    if (pick == 0) {
      handlerResults_.push_back(ctrl_->InitIris());
    } else if (pick == 1) {
      handlerResults_.push_back(ctrl_->StopIris());
      handlerClose_ = true;
    }
  }

  void Step(size_t step, HangGuard& guard) {
    std::discrete_distribution<int> ops(std::begin(kWeights), std::end(kWeights));
    const Op op = static_cast<Op>(ops(rng_));
    const std::string where = "seed " + std::to_string(seed_) + ", step " + std::to_string(step) +
                              " (" + kNames[op] + ")";
    SCOPED_TRACE(where);
    guard.At(where);
    const IrisState before = control::IrisStateOf(*ctrl_);
    int32_t r = 0;
    switch (op) {
      case kInitIris:
        r = ctrl_->InitIris();
        ASSERT_EQ(r, 1) << "from " << control::IrisStateName(before);
        if (before == IrisState::NoCamera) {
          const IrisState after = control::IrisStateOf(*ctrl_);
          // BetweenSteps: a step 1 that waited for the camera since a close.
          ASSERT_TRUE(after == IrisState::Open || after == IrisState::Armed ||
                      after == IrisState::BetweenSteps)
              << control::IrisStateName(after);
        }
        break;
      case kEnrollBoth:
      case kEnrollLeft:
      case kEnrollRight:
      case kMatch: {
        r = Start(op);
        const std::set<int32_t> expected = ExpectedStart(before);
        ASSERT_TRUE(expected.count(r) == 1)
            << "result " << r << " in state " << control::IrisStateName(before);
        if (r == 1) ++outstanding_;
        break;
      }
      case kStop:
      case kClose: {
        r = op == kStop ? ctrl_->StopIris() : ctrl_->CloseIris();
        const bool closes =
            op == kStop || (before != IrisState::NoCamera && before != IrisState::Closing);
        ASSERT_EQ(r, closes ? 1 : -2) << "in state " << control::IrisStateName(before);
        if (closes) {
          cancellable_ = outstanding_;
          const IrisState after = control::IrisStateOf(*ctrl_);
          ASSERT_TRUE(control::IrisTransitionLegal(IrisState::Closing, after))
              << control::IrisStateName(after);
        }
        break;
      }
      case kTimeOuts: {
        constexpr int32_t kTimeOuts[] = {0, 1, 1, 2, 3};
        ctrl_->SetEnrollIrisTimeout(kTimeOuts[rng_() % std::size(kTimeOuts)]);
        ctrl_->SetMatchIrisTimeout(kTimeOuts[rng_() % std::size(kTimeOuts)]);
        break;
      }
      case kWaitResult: {
        const size_t before = all_.ResultsSince(0).size();
        PumpUntil([&] { return all_.ResultsSince(0).size() > before; }, 700);
        break;
      }
      default:
        ctrl_->ControlWindow().Pump(static_cast<uint32_t>(rng_() % 25));
        break;
    }
    for (int32_t h : handlerResults_) ASSERT_EQ(h, 1) << "InitIris/StopIris inside an event";
    handlerResults_.clear();
    if (handlerClose_) cancellable_ = outstanding_;
    handlerClose_ = false;
    ASSERT_NO_FATAL_FAILURE(TakeResults(where));
  }

  // Lets everything end: no session outstanding but those a close cancelled, no close
  // under way, the fill light off, every close having sent its off command.
  void Settle(const std::string& where) {
    inHandlerCalls_ = false;
    ctrl_->StopIris();
    cancellable_ = outstanding_;
    ASSERT_TRUE(PumpUntil(
        [&] {
          // No session thread left either (a step 1 may still wait for a camera).
          return control::IrisStateOf(*ctrl_) == IrisState::NoCamera &&
                 ctrl_->m_enrollStep.load() == 0 && ctrl_->m_sessionsStarting.load() == 0 &&
                 all_.ResultsSince(0).size() + cancellable_ >= resultsSeen_ + outstanding_;
        },
        kSettleMs))
        << where << ": did not settle, state "
        << control::IrisStateName(control::IrisStateOf(*ctrl_));
    ctrl_->ControlWindow().Pump(300);
    ASSERT_NO_FATAL_FAILURE(TakeResults(where));
    ASSERT_LE(outstanding_, cancellable_) << where << ": a session ended without its event";
    outstanding_ = cancellable_ = 0;
    const std::vector<uint8_t> hid = HidCodes();
    const auto lastOn = std::find(hid.rbegin(), hid.rend(), device::CmdIlluminatorOn);
    const auto lastOff = std::find(hid.rbegin(), hid.rend(), device::CmdIlluminatorOff);
    ASSERT_TRUE(lastOn == hid.rend() || lastOff < lastOn) << where << ": the fill light stayed on";
    ASSERT_GE(testing::CountOf(hid, device::CmdIlluminatorOff), all_.LogCount(kIrisCloseLine))
        << where << ": a close without CmdIlluminatorOff";
    inHandlerCalls_ = true;
  }

  StressEvents all_{{kIrisCloseLine}};
  HandlerSink sink_{all_};
  std::mt19937 rng_;
  uint32_t seed_ = 0;
  bool inHandlerCalls_ = true;
  bool handlerClose_ = false;
  std::vector<int32_t> handlerResults_;
  std::vector<int32_t> strangers_ = std::vector<int32_t>(128 * 2, 0x3c5a9601);
};

TEST_F(SessionModel, RandomHostCallsFollowTheModel) {
  const size_t steps = EnvCount("OCUVANT_MODEL_STEPS", kDefaultSteps);
  seed_ = static_cast<uint32_t>(
      EnvCount("OCUVANT_MODEL_SEED", static_cast<size_t>(std::random_device{}())));
  rng_.seed(seed_);
  std::printf("session model: %zu steps, seed %u (OCUVANT_MODEL_SEED repeats a run)\n", steps,
              seed_);
  sink_.onResult = [this] { InHandler(); };
  HangGuard guard(kHangLimitMs);
  constexpr size_t kSettleEvery = 250;
  for (size_t step = 0; step < steps; ++step) {
    ASSERT_NO_FATAL_FAILURE(Step(step, guard));
    if ((step + 1) % kSettleEvery == 0) {
      guard.At("settle after step " + std::to_string(step));
      ASSERT_NO_FATAL_FAILURE(
          Settle("seed " + std::to_string(seed_) + ", settle after step " + std::to_string(step)));
    }
  }
  guard.At("final settle");
  ASSERT_NO_FATAL_FAILURE(Settle("seed " + std::to_string(seed_) + ", final settle"));
  std::printf("session model: %zu steps, %zu result events, 0 divergences\n", steps,
              all_.ResultsSince(0).size());
}

}  // namespace
}  // namespace ocuvant::stress
