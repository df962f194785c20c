// Random sequences of the session and photo methods on the host's thread while the
// virtual cameras stream (run it under the thread sanitizer too): no hang, no crash,
// no race; never more result events than sessions started; results and closes
// reported on the host's thread; and after every sequence a control that closes down
// and opens the iris camera again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "capture/capture_video.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "simulator/virtual_camera_backend.h"
#include "tests/stress/stress_support.h"
#include "tests/workflows/workflow_fixture.h"

namespace ocuvant::stress {
namespace {

constexpr size_t kDefaultSequences = 120;
constexpr uint32_t kHangLimitMs = 60000;
constexpr uint32_t kSettleMs = 20000;
// A person who comes and goes, so that sessions meet every kind of frame.
constexpr char kScript[] = "present:700,closed:300,gone:400,away:300,loop";

// How a camera close shows: it logs one of these lines when it starts and ends with a
// message to the control's window (CloseCameraEvent, or the next-action handler).
constexpr char kPhotoCloseStart[] = "close|设置为退出";
constexpr char kNextActionHandled[] = "|in msg next action";
// Sessions that were started but whose camera would not run: no event follows.
constexpr char kEnrollRunFailedBox[] = "PlayVideo failed.";
constexpr char kMatchRunFailed[] = "match|启动虹膜视频失败";
std::string IrisCloseStart(int next) {
  return "video|关闭虹膜视频...,next:" + std::to_string(next);
}
std::set<std::string> CloseLines() {
  std::set<std::string> lines = {kPhotoCloseStart, kNextActionHandled, kMatchRunFailed};
  for (int next = 0; next <= 4; ++next) lines.insert(IrisCloseStart(next));
  return lines;
}

// The configuration of one sequence: one template kind, with or without the
// background camera beside the iris camera.
std::string Config(int kind, bool background, int backgroundCamera) {
  auto flag = [](bool on) { return std::string(on ? "\"1\"" : "\"0\""); };
  return "{\"log\":\"1\",\"save_raw\":\"0\",\"save_cacheraw\":\"0\",\"with_small_iris\":" +
         flag(kind == 0) + ",\"with_q5_iris\":" + flag(kind == 2) +
         ",\"with_big_iris\":" + flag(kind == 1) +
         ",\"iris_hid_ctl\":\"1\",\"iris_with_bkcapture\":" + flag(background) +
         ",\"iris_bkcapture_camera\":\"" + std::to_string(backgroundCamera) +
         "\",\"capture_realtime_iris\":\"0\"}";
}

class RandomSequences : public testing::WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    simulator::VirtualCameraConfig cameras;
    cameras.subjectSeed = 5;
    cameras.script = kScript;
    cameras.renderEveryNthFrame = 10;
    cameras.illuminatorOn = [this] { return illuminator_.FillLightOn(); };
    std::string error;
    ASSERT_TRUE(simulator::InstallVirtualCameras(cameras, &error)) << error;
    ctrl_->SetEventSink(&all_);
    ctrl_->m_moduleDir = dir_.string() + "/";
    std::filesystem::create_directories(dir_);
    // Where a Q5 match leaves its database.
    setenv("OCUVANT_DRIVE_D", dir_.c_str(), 1);
    ctrl_->ParseSettings();  // log lines from the very first close on
    platform::SetMessageBoxHandler([this](const std::string& text, const std::string&) {
      if (text == kEnrollRunFailedBox) ++runFailures_;
    });
    std::mt19937 fill(1);
    for (int32_t& v : db_) v = static_cast<int32_t>(fill());
  }

  void TearDown() override {
    WorkflowTest::TearDown();
    platform::SetMessageBoxHandler(nullptr);
    unsetenv("OCUVANT_DRIVE_D");
    std::filesystem::remove_all(dir_);
  }

  size_t ClosesStarted() const {
    size_t n = all_.LogCount(kPhotoCloseStart);
    for (int next = 0; next <= 4; ++next) n += all_.LogCount(IrisCloseStart(next));
    return n;
  }
  size_t ClosesEnded() const {
    return all_.Count("CloseCameraEvent") + all_.LogCount(kNextActionHandled);
  }
  bool CloseUnderWay() const { return ClosesStarted() != ClosesEnded(); }

  // Runs the message loop until no camera close is under way.
  bool PumpUntilClosesEnded() {
    return PumpUntil([&] { return !CloseUnderWay(); }, kSettleMs);
  }

  // Closes every camera of the main session and waits until all closes have ended.
  // A photo camera whose session another close took down can only be left through
  // InitIris (its close method then answers -2); that chain is closed in turn.
  void CloseAll() {
    const uint32_t start = platform::GetTickCount();
    for (;;) {
      ASSERT_LT(platform::TicksSince(start), kSettleMs) << "the cameras would not close";
      ASSERT_TRUE(PumpUntilClosesEnded())
          << ClosesStarted() << " closes, " << ClosesEnded() << " ended";
      if (ctrl_->m_photoOpen) {
        if (ctrl_->ClosePhotoCapture() == -2) ctrl_->InitIris();
      } else if (ctrl_->m_irisOpen) {
        ctrl_->StopIris();
      } else {
        return;
      }
    }
  }

  enum Op {
    kInitIris,
    kEnrollBoth,
    kEnrollLeft,
    kEnrollRight,
    kMatch,
    kStopIris,
    kCloseIris,
    kInitCaptureIris,
    kInitPhoto,
    kPhoto,
    kClosePhoto,
    kInitBk,
    kStopBk,
    kCloseBk,
    kProperties,
    kRunOut,
    kPump,
    kOpCount
  };
  // How often each operation comes, relative to the others. The photo camera is opened
  // less often: closing it takes half a second.
  static constexpr double kWeights[kOpCount] = {4, 2, 1, 1, 3, 2,   1,   1, 0.6,
                                                1, 1, 1, 1, 1, 1.5, 1.5, 5};

  // A time-out of 0 ends a session at its first frame, 1 or 2 s a little later.
  static int32_t RandomTimeOut(std::mt19937& rng) {
    constexpr int32_t kTimeOuts[] = {0, 0, 1, 2};
    return kTimeOuts[rng() % std::size(kTimeOuts)];
  }

  // An armed session left alone for a while: one with a short time-out ends.
  void RunOut() {
    if (ctrl_->m_sessionMode == control::ModeIdle) return;
    const size_t before = all_.ResultsSince(0).size();
    PumpUntil([&] { return all_.ResultsSince(0).size() > before; }, 700);
  }

  // One random method call (or a turn of the message loop); tells `guard` which.
  void Step(std::mt19937& rng, HangGuard& guard, const std::string& where) {
    static constexpr const char* kNames[kOpCount] = {"InitIris",
                                                     "EnrollBothIris",
                                                     "EnrollLeftIris",
                                                     "EnrollRightIris",
                                                     "MatchIris",
                                                     "StopIris",
                                                     "CloseIris",
                                                     "InitCaptureIris",
                                                     "InitPhotoCapture",
                                                     "PhotoCapture",
                                                     "ClosePhotoCapture",
                                                     "InitBkPhotoCapture",
                                                     "StopBkPhotoCapture",
                                                     "CloseBkPhotoCapture",
                                                     "properties",
                                                     "run-out",
                                                     "pump"};
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::discrete_distribution<int> ops(std::begin(kWeights), std::end(kWeights));
    const int op = ops(rng);
    guard.At(where + ", " + kNames[op]);
    int32_t r = 0;
    switch (op) {
      case kInitIris:
        ctrl_->InitIris();
        break;
      case kEnrollBoth:
        r = ctrl_->EnrollBothIris();
        break;
      case kEnrollLeft:
        r = ctrl_->EnrollLeftIris();
        break;
      case kEnrollRight:
        r = ctrl_->EnrollRightIris();
        break;
      case kMatch: {
        const int32_t* dbs[3] = {nullptr, nullptr, nullptr};
        int32_t counts[3] = {0, 0, 0};
        const int kind = pick(3);
        dbs[kind] = db_.data();
        counts[kind] = kDbTemplates;
        r = ctrl_->MatchIris(dbs[0], counts[0], dbs[1], counts[1], dbs[2], counts[2], 0, 0);
        break;
      }
      case kStopIris:
        ctrl_->StopIris();
        break;
      case kCloseIris:
        ctrl_->CloseIris();
        break;
      case kInitCaptureIris:
        ctrl_->InitCaptureIris();
        break;
      case kInitPhoto:
        ctrl_->InitPhotoCapture(pick(3) + 1);
        break;
      case kPhoto:
        ctrl_->PhotoCapture(pick(3), (dir_ / "photo.bmp").string());
        break;
      case kClosePhoto:
        ctrl_->ClosePhotoCapture();
        break;
      case kInitBk:
        ctrl_->InitBkPhotoCapture(pick(2) + 1);
        break;
      case kStopBk:
        ctrl_->StopBkPhotoCapture();
        break;
      case kCloseBk:
        ctrl_->CloseBkPhotoCapture();
        break;
      case kProperties:
        // Properties the session threads read, changed while they may run.
        ctrl_->SetEnrollIrisTimeout(RandomTimeOut(rng));
        ctrl_->SetMatchIrisTimeout(RandomTimeOut(rng));
        ctrl_->SetEnableVoice(pick(2));
        break;
      case kRunOut:
        RunOut();
        break;
      default:
        ctrl_->ControlWindow().Pump(static_cast<uint32_t>(pick(60)));
        break;
    }
    if (r == 1) ++sessionsStarted_;
  }

  static constexpr int32_t kDbTemplates = 2;
  std::vector<int32_t> db_ = std::vector<int32_t>(128 * kDbTemplates);
  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() / ("ocuvant_stress_" + std::to_string(::getpid()));
  StressEvents all_{CloseLines()};
  size_t sessionsStarted_ = 0;
  std::atomic<size_t> runFailures_{0};  // enrollments whose camera would not run
};

TEST_F(RandomSequences, MethodsInAnyOrderLeaveAUsableControl) {
  const size_t sequences = EnvCount("OCUVANT_STRESS_SEQUENCES", kDefaultSequences);
  const uint32_t seed = static_cast<uint32_t>(
      EnvCount("OCUVANT_STRESS_SEED", static_cast<size_t>(std::random_device{}())));
  std::printf("random sequences: %zu, seed %u (OCUVANT_STRESS_SEED repeats a run)\n", sequences,
              seed);
  SCOPED_TRACE("OCUVANT_STRESS_SEED=" + std::to_string(seed));
  std::mt19937 rng(seed);
  HangGuard guard(kHangLimitMs);
  const std::thread::id host = std::this_thread::get_id();

  for (size_t s = 0; s < sequences; ++s) {
    SCOPED_TRACE("sequence " + std::to_string(s));
    const std::string where = "seed " + std::to_string(seed) + ", sequence " + std::to_string(s);
    guard.At(where + ", configuring");
    ctrl_->SetBurger(
        Config(static_cast<int>(rng() % 3), rng() % 2 == 0, static_cast<int>(rng() % 2) + 1));
    ctrl_->SetStringMode(static_cast<int32_t>(rng() % 2));
    ctrl_->SetEnrollIrisTimeout(RandomTimeOut(rng));
    ctrl_->SetMatchIrisTimeout(RandomTimeOut(rng));
    const size_t steps = 3 + rng() % 8;
    for (size_t i = 0; i < steps; ++i) {
      Step(rng, guard, where + ", step " + std::to_string(i));
    }
    guard.At(where + ", closing down");
    ASSERT_NO_FATAL_FAILURE(CloseAll());
    // The iris camera opens again, at once, ready for a session.
    guard.At(where + ", opening the iris camera");
    ASSERT_EQ(ctrl_->InitIris(), 1);
    ASSERT_TRUE(ctrl_->m_irisOpen);
    ASSERT_EQ(ctrl_->m_mainCapture->Route(), capture::IrisFrames);
    ASSERT_TRUE(ctrl_->m_irisReadyEvent.IsSet());
  }

  // Sessions still waiting for a camera give up within 5 s; armed ones end with the
  // camera's close.
  guard.At("seed " + std::to_string(seed) + ", final close");
  ASSERT_NO_FATAL_FAILURE(CloseAll());
  ctrl_->ControlWindow().Pump(5500);
  ASSERT_NO_FATAL_FAILURE(CloseAll());

  // Each session started ends with one result event at most; those whose camera would
  // not run end with none (the message box or the log line says so).
  const std::vector<StressEvent> results = all_.ResultsSince(0);
  const size_t silent = runFailures_ + all_.LogCount(kMatchRunFailed);
  EXPECT_GT(sessionsStarted_, 0u);
  EXPECT_LE(results.size() + silent, sessionsStarted_);
  size_t closes = 0;
  for (const StressEvent& e : all_.Events()) {
    if (IsResultEvent(e.name) || e.name == "CloseCameraEvent") {
      EXPECT_EQ(e.thread, host) << e.name << " fired off the host's thread";
      closes += e.name == "CloseCameraEvent";
    }
  }
  std::printf(
      "%zu sessions started, %zu results, %zu without a running camera, %zu closes, "
      "%zu photos\n",
      sessionsStarted_, results.size(), silent, closes, all_.Count("PhotoCaptureEvent"));
}

}  // namespace
}  // namespace ocuvant::stress
