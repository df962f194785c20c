// An armed iris session allocates nothing per frame. Frames rendered before the
// session (eyes open, eyes shut, nobody there) come from a camera of the test's own,
// and every call of the frame callback is counted with the replaced global operator
// new and delete: both-eye enrollment and identification against 1000 templates,
// with logging off as in a normal session.
//
// Frames whose outcome reaches the host (a result log line, the end of a step or of
// the session with its snapshot request, diagnostic files and result message) are
// reported but not held to zero: they happen a few times per session, not per frame.
#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_registry.h"
#include "control/ocuvant_ctrl.h"
#include "device/hid_transport.h"
#include "device/illuminator_command.h"
#include "platform/sound.h"
#include "platform/thread.h"
#include "session/settings.h"
#include "session/voice_prompt.h"
#include "simulator/render/eye_renderer.h"
#include "simulator/virtual_iris_camera.h"
#include "tests/alloc/counting_allocator.h"
#include "tests/alloc/prerendered_camera.h"

namespace ocuvant::alloc_test {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OCUVANT_ALLOC_TEST_SLOW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define OCUVANT_ALLOC_TEST_SLOW 1
#endif
#endif

// Frames of each sort a match session of a few seconds must show: hundreds pass in a
// plain build, sanitizers make every frame many times slower.
#ifdef OCUVANT_ALLOC_TEST_SLOW
constexpr int kMinMatchFramesOfEachSort = 4;
#else
constexpr int kMinMatchFramesOfEachSort = 30;
#endif

constexpr uint64_t kSubjectSeed = 11;
constexpr uint32_t kFramePeriodMs = 4;

// The settings of a normal session with "log" absent (logging off).
std::string Configuration(engine::TemplateKind kind) {
  auto flag = [&](engine::TemplateKind k) { return std::string(kind == k ? "\"1\"" : "\"0\""); };
  return "{\"save_raw\":\"0\",\"save_cacheraw\":\"0\",\"with_small_iris\":" +
         flag(engine::KindSmall) + ",\"with_q5_iris\":" + flag(engine::KindQ5) +
         ",\"with_big_iris\":" + flag(engine::KindBig) +
         ",\"iris_hid_ctl\":\"1\",\"iris_with_bkcapture\":\"0\","
         "\"iris_bkcapture_camera\":\"1\",\"capture_realtime_iris\":\"0\"}";
}

// Illuminator that answers every command at once and only counts them.
class CountingIlluminator final : public device::HidTransport {
 public:
  device::HidHandle* Open(uint16_t, uint16_t) override {
    return reinterpret_cast<device::HidHandle*>(this);
  }
  int Write(device::HidHandle*, const uint8_t* data, size_t size) override {
    const uint8_t code = data[device::kCommandCodeOffset];
    commands_.fetch_add(1);
    if (code == device::CmdQualityHint) qualityHints_.fetch_add(1);
    if (code == device::CmdIlluminatorOn) illuminatorOn_.fetch_add(1);
    return static_cast<int>(size);
  }
  int ReadTimeout(device::HidHandle*, uint8_t*, size_t size, int) override {
    return static_cast<int>(size);
  }
  void Close(device::HidHandle*) override {}

  int QualityHints() const { return qualityHints_.load(); }
  int IlluminatorOn() const { return illuminatorOn_.load(); }

 private:
  std::atomic<int> commands_{0};
  std::atomic<int> qualityHints_{0};
  std::atomic<int> illuminatorOn_{0};
};

class CountingSoundSink final : public platform::SoundSink {
 public:
  explicit CountingSoundSink(std::atomic<int>* plays) : plays_(plays) {}
  void PlayAsync(const uint8_t*, size_t) override { plays_->fetch_add(1); }
  void Stop() override {}

 private:
  std::atomic<int>* plays_;
};

// Keeps the outcome events and log lines; its own bookkeeping is not counted.
class Events final : public control::EventSink {
 public:
  void LogInfo(const std::string& tag, const std::string& log) override {
    NoteHostLogLine();
    UncountedScope uncounted;
    std::lock_guard<std::mutex> lock(mutex_);
    logs_.push_back(tag + "|" + log);
  }
  void EnrollBothIrisEvent(const int32_t*, const int32_t*, const int32_t*, const int32_t*,
                           const int32_t*, const int32_t*, int32_t result) override {
    enrollResults_.push_back(result);
  }
  void MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t result) override {
    matchEvents_.push_back({s, b, q, result});
  }
  std::vector<std::string> Logs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logs_;
  }
  // Host thread only, as the events.
  std::vector<int32_t> enrollResults_;
  std::vector<std::vector<int32_t>> matchEvents_;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> logs_;
};

std::vector<uint8_t> RenderFrame(simulator::SubjectAction action, uint64_t index) {
  sim::CaptureParams left, right;
  simulator::VirtualIrisCamera::ParamsFor(action, kSubjectSeed, index, false, &left, &right);
  std::vector<uint8_t> frame(size_t{1920} * 1080 * 3);
  sim::RenderBinocularFrame(sim::Subject(kSubjectSeed), left, right, frame.data(), 1920, 1080,
                            sim::FrameFormat::Bgr24BottomUp);
  return frame;
}

struct Tally {
  int total = 0;
  int armed = 0;
  int quietArmed = 0;        // armed frames held to zero
  int quietRejected = 0;     // ... showing shut eyes or nobody
  int quietPresent = 0;      // ... showing open eyes
  int quietFullMatch = 0;    // ... whose probe was compared with the whole database
  int quietLightSwitch = 0;  // ... in which the illuminator went on
  int outcome = 0;           // frames whose outcome reached the host
  int64_t outcomeAllocations = 0;
  std::string offenders;  // quiet frames that allocated
};

bool Quiet(const FrameRecord& r) {
  return !r.hostLogLine && !(r.armedBefore && !r.armedAfter);
}

Tally Summarise(const std::vector<FrameRecord>& records) {
  Tally t;
  for (size_t i = 0; i < records.size(); ++i) {
    const FrameRecord& r = records[i];
    ++t.total;
    t.armed += r.armedBefore;
    if (!Quiet(r)) {
      ++t.outcome;
      t.outcomeAllocations += r.count.allocations;
      continue;
    }
    if (r.count.allocations != 0 || r.count.deallocations != 0) {
      char line[160];
      std::snprintf(line, sizeof line, "frame %zu (scene %d, armed %d): %lld new, %lld delete\n", i,
                    static_cast<int>(r.scene), r.armedBefore,
                    static_cast<long long>(r.count.allocations),
                    static_cast<long long>(r.count.deallocations));
      t.offenders += line;
    }
    if (!r.armedBefore) continue;
    ++t.quietArmed;
    if (r.scene == Scene::Present) {
      ++t.quietPresent;
    } else {
      ++t.quietRejected;
    }
    t.quietFullMatch += r.matchProcessCode[0] == 1 || r.matchProcessCode[1] == 1;
    t.quietLightSwitch += r.fillLightSwitched;
  }
  return t;
}

void Report(const char* name, const Tally& t) {
  std::printf(
      "[%s] frames %d, armed %d, armed without host-visible outcome %d (rejected %d, open eyes "
      "%d, full database scans %d, illuminator switches %d); outcome frames %d with %lld "
      "allocations\n",
      name, t.total, t.armed, t.quietArmed, t.quietRejected, t.quietPresent, t.quietFullMatch,
      t.quietLightSwitch, t.outcome, static_cast<long long>(t.outcomeAllocations));
}

class FrameAllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A runtime that keeps operator new to itself would make every count zero.
    BeginCounting();
    void* volatile block = ::operator new(16);  // volatile: the pair cannot be elided
    ::operator delete(block);
    const AllocationCount probe = EndCounting();
    if (probe.allocations != 1 || probe.deallocations != 1) {
      GTEST_SKIP() << "the replaced global operator new and delete are not in effect in this "
                      "build (a runtime that owns them), so allocations cannot be counted";
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("ocuvant_alloc_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    device::InstallHidTransport(&illuminator_);
    player_ = std::make_unique<session::VoicePlayer>(std::make_unique<CountingSoundSink>(&plays_));
  }

  void TearDown() override {
    if (ctrl_) {
      ctrl_->SetEventSink(nullptr);
      ctrl_.reset();
    }
    capture::ClearCaptureBackends();
    capture::RegisterCaptureBackend(capture::RealCameraBackend());
    device::InstallHidTransport(nullptr);
    std::filesystem::remove_all(dir_);
  }

  // The control with its camera: frames 0 .. n-1 of `frames` shown in `order` while a
  // session is armed, frame `idle` otherwise.
  void Start(engine::TemplateKind kind, std::vector<std::vector<uint8_t>> frames,
             std::vector<Scene> scenes, std::vector<int> order, int idle) {
    ctrl_ = control::COcuvantCtrl::Create();
    ctrl_->m_moduleDir = dir_.string() + "/";
    ctrl_->m_voicePlayer = player_.get();
    ctrl_->SetEventSink(&events_);
    ctrl_->SetBurger(Configuration(kind));
    feed_ = std::make_shared<FrameFeed>(std::move(frames), std::move(scenes), std::move(order),
                                        idle, ctrl_.get(), kind);
    capture::ClearCaptureBackends();
    capture::RegisterCaptureBackend(std::make_shared<PrerenderedBackend>(feed_, kFramePeriodMs));
  }

  bool PumpUntil(const std::function<bool()>& done, uint32_t ms) {
    const uint32_t start = platform::GetTickCount();
    while (!done()) {
      if (platform::TicksSince(start) > ms) return false;
      ctrl_->ControlWindow().Pump(10);
    }
    return true;
  }

  std::filesystem::path dir_;
  CountingIlluminator illuminator_;
  std::atomic<int> plays_{0};
  std::unique_ptr<session::VoicePlayer> player_;
  Events events_;
  std::shared_ptr<FrameFeed> feed_;
  std::unique_ptr<control::COcuvantCtrl> ctrl_;
};

// The instrument itself: what the calling thread allocates is counted, inside the
// shared library too; what another thread allocates meanwhile is not.
TEST_F(FrameAllocationTest, CountsAllocationsOfTheCallingThreadOnly) {
  BeginCounting();
  const std::string trimmed =
      session::TrimBlanks("   a setting value longer than any small buffer ");
  double* volatile aligned = new (std::align_val_t{64}) double[4];
  operator delete[](aligned, std::align_val_t{64});
  std::thread([] {
    std::vector<std::vector<int>> many;
    for (int i = 0; i < 50; ++i) many.emplace_back(100);
  }).join();
  const AllocationCount counted = EndCounting();
  EXPECT_EQ(trimmed, "a setting value longer than any small buffer");
  // The trimmed text, the aligned array, the thread's start-up record.
  EXPECT_GE(counted.allocations, 3);
  EXPECT_LT(counted.allocations, 10);
  EXPECT_GE(counted.deallocations, 1);
  EXPECT_LT(counted.deallocations, 10);

  BeginCounting();
  { std::vector<int> v(10); }
  const AllocationCount vector = EndCounting();
  EXPECT_EQ(vector.allocations, 1);
  EXPECT_EQ(vector.deallocations, 1);
}

// `present` pictures of open eyes (the subject's pose changes between them), then
// one of shut eyes and one of the empty scene.
struct Pictures {
  std::vector<std::vector<uint8_t>> frames;
  std::vector<Scene> scenes;
  int closed = 0;
  int gone = 0;
};

Pictures Render(int present) {
  Pictures p;
  for (int hold = 0; hold < present; ++hold) {
    p.frames.push_back(
        RenderFrame(simulator::SubjectAction::PresentLooking, static_cast<uint64_t>(hold) * 15));
    p.scenes.push_back(Scene::Present);
  }
  p.closed = present;
  p.frames.push_back(RenderFrame(simulator::SubjectAction::EyesClosed, 0));
  p.scenes.push_back(Scene::EyesClosed);
  p.gone = present + 1;
  p.frames.push_back(RenderFrame(simulator::SubjectAction::Gone, 0));
  p.scenes.push_back(Scene::Gone);
  return p;
}

std::string KindName(const ::testing::TestParamInfo<engine::TemplateKind>& info) {
  return engine::kKindNames[info.param];
}

class ArmedSessionTest : public FrameAllocationTest,
                         public ::testing::WithParamInterface<engine::TemplateKind> {};

// Both-eye enrollment of the kind enabled by the configuration (one kind at a time;
// all three kinds' eye images are cut every frame since all three keys are present).
// Each step begins with 100 frames of shut eyes and an empty scene, then open eyes
// with a shut pair now and then, until both eyes have their template.
TEST_P(ArmedSessionTest, BothEyeEnrollmentAllocatesNothingPerFrame) {
  Pictures p = Render(6);
  std::vector<int> order;
  for (int run = 0; run < 10; ++run) order.insert(order.end(), 10, run % 2 ? p.gone : p.closed);
  for (int i = 0; i < 6; ++i) order.insert(order.end(), {i, (i + 1) % 6, p.closed});
  Start(GetParam(), std::move(p.frames), std::move(p.scenes), std::move(order), p.gone);

  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->EnrollBothIris(), 1);
  ASSERT_TRUE(PumpUntil([&] { return !events_.enrollResults_.empty(); }, 90000));
  EXPECT_EQ(events_.enrollResults_[0], 1);
  PumpUntil([&] { return !ctrl_->m_irisOpen; }, 3000);

  const Tally t = Summarise(feed_->Records());
  Report((std::string("enroll both, ") + engine::kKindNames[GetParam()]).c_str(), t);
  EXPECT_EQ(t.offenders, "");
  EXPECT_GE(t.quietRejected, 150);  // a hundred per step, less the skipped ones
  EXPECT_GE(t.quietPresent, 4);     // images accepted, no template built yet
  // Per step at most a template built for each eye and the step's end.
  EXPECT_LE(t.outcome, 6);
  EXPECT_EQ(feed_->Unrecorded(), 0);
  EXPECT_GT(plays_.load(), 0);  // the first rejection is announced
}

// Identification against 1000 templates of nobody present: open eyes (a full
// database scan for each probe), shut eyes and an empty scene in turn until the
// time-out. The illuminator goes on once (pupil ratio or half time) with a log line
// that is not shown.
TEST_P(ArmedSessionTest, MatchAgainstThousandTemplatesAllocatesNothingPerFrame) {
  Pictures p = Render(4);
  const std::vector<int> order = {0, 1, p.closed, 2, 3, p.gone};
  Start(GetParam(), std::move(p.frames), std::move(p.scenes), order, p.gone);

  constexpr int32_t kTemplates = 1000;
  std::vector<int32_t> db(size_t{kTemplates} * 128);
  uint32_t x = 0x9E3779B9u;
  for (int32_t& w : db) w = static_cast<int32_t>(x = x * 1664525u + 1013904223u);
  const int32_t* dbs[engine::kKindCount] = {};
  int32_t counts[engine::kKindCount] = {};
  dbs[GetParam()] = db.data();
  counts[GetParam()] = kTemplates;

  ctrl_->SetMatchIrisTimeout(6);
  ASSERT_EQ(ctrl_->InitIris(), 1);
  ASSERT_EQ(ctrl_->MatchIris(dbs[0], counts[0], dbs[1], counts[1], dbs[2], counts[2], 0, 0), 1);
  ASSERT_TRUE(PumpUntil([&] { return !events_.matchEvents_.empty(); }, 60000));
  EXPECT_EQ(events_.matchEvents_[0], (std::vector<int32_t>{-1, -1, -1, 0}));  // timed out
  PumpUntil([&] { return !ctrl_->m_irisOpen; }, 3000);

  const Tally t = Summarise(feed_->Records());
  Report((std::string("match 1000 templates, ") + engine::kKindNames[GetParam()]).c_str(), t);
  EXPECT_EQ(t.offenders, "");
  EXPECT_GE(t.quietRejected, kMinMatchFramesOfEachSort);
  EXPECT_GE(t.quietFullMatch, kMinMatchFramesOfEachSort);
  EXPECT_EQ(t.quietLightSwitch, 1);
  EXPECT_EQ(illuminator_.IlluminatorOn(), 1);
  EXPECT_EQ(t.outcome, 1);  // the time-out
  EXPECT_EQ(feed_->Unrecorded(), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ArmedSessionTest,
                         ::testing::Values(engine::KindBig, engine::KindSmall, engine::KindQ5),
                         KindName);

}  // namespace
}  // namespace ocuvant::alloc_test
