#include "tests/workflows/workflow_fixture.h"

#include <algorithm>

#include "capture/capture_registry.h"
#include "device/hid_transport.h"
#include "platform/thread.h"
#include "session/prompt_resources.h"
#include "simulator/virtual_camera_backend.h"

namespace ocuvant::testing {

using control::COcuvantCtrl;

void RecordingEvents::Add(RecordedEvent e) {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back(std::move(e));
}

namespace {
std::array<int32_t, 256> Area(const int32_t* p) {
  std::array<int32_t, 256> a{};
  if (p != nullptr) std::copy(p, p + 256, a.begin());
  return a;
}
}  // namespace

void RecordingEvents::EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                          const int32_t* d, const int32_t* e, const int32_t* f,
                                          int32_t r) {
  Add({"EnrollBothIrisEvent", {r}, {Area(a), Area(b), Area(c), Area(d), Area(e), Area(f)}, {}});
}
void RecordingEvents::EnrollLeftIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                          int32_t r) {
  Add({"EnrollLeftIrisEvent", {r}, {Area(a), Area(b), Area(c)}, {}});
}
void RecordingEvents::EnrollRightIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                                           int32_t r) {
  Add({"EnrollRightIrisEvent", {r}, {Area(a), Area(b), Area(c)}, {}});
}
void RecordingEvents::MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t r) {
  Add({"MatchIrisEvent", {s, b, q, r}, {}, {}});
}
void RecordingEvents::CloseCameraEvent(int32_t kind, int32_t result) {
  Add({"CloseCameraEvent", {kind, result}, {}, {}});
}
void RecordingEvents::LogInfo(const std::string& tag, const std::string& log) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    logs_.push_back(tag + "|" + log);
  }
  if (onLog) onLog(tag, log);
}

std::vector<RecordedEvent> RecordingEvents::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}
size_t RecordingEvents::Count(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(std::count_if(events_.begin(), events_.end(),
                                           [&](const RecordedEvent& e) { return e.name == name; }));
}
std::vector<std::string> RecordingEvents::Logs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logs_;
}

void WorkflowTest::SetUp() {
  device::InstallHidTransport(&illuminator_);
  auto sink = std::make_unique<platform::RecordingSoundSink>();
  sound_ = sink.get();
  player_ = std::make_unique<session::VoicePlayer>(std::move(sink));
  ctrl_ = COcuvantCtrl::Create();
  ctrl_->m_voicePlayer = player_.get();
  ctrl_->SetEventSink(&events_);
  Configure(1);
}

void WorkflowTest::TearDown() {
  ctrl_->SetEventSink(nullptr);
  ctrl_.reset();
  player_.reset();
  simulator::RemoveVirtualCameras();
  device::InstallHidTransport(nullptr);
}

void WorkflowTest::UseSubject(uint64_t seed, const std::string& script) {
  simulator::VirtualCameraConfig config;
  config.subjectSeed = seed;
  config.script = script;
  config.visibleCamera = config.infraredCamera = false;
  config.illuminatorOn = [this] { return illuminator_.FillLightOn(); };
  std::string error;
  ASSERT_TRUE(simulator::InstallVirtualCameras(config, &error)) << error;
}

void WorkflowTest::UseReplay(const std::string& dir) {
  simulator::VirtualCameraConfig config;
  config.replayDirectory = dir;
  config.visibleCamera = config.infraredCamera = false;
  std::string error;
  ASSERT_TRUE(simulator::InstallVirtualCameras(config, &error)) << error;
}

void WorkflowTest::Configure(int kind) {
  auto flag = [&](int k) { return std::string(kind == k ? "\"1\"" : "\"0\""); };
  ctrl_->SetBurger(
      "{\"log\":\"1\",\"save_raw\":\"0\",\"save_cacheraw\":\"0\",\"with_small_iris\":" + flag(0) +
      ",\"with_q5_iris\":" + flag(2) + ",\"with_big_iris\":" + flag(1) +
      ",\"iris_hid_ctl\":\"1\",\"iris_with_bkcapture\":\"0\","
      "\"iris_bkcapture_camera\":\"1\",\"capture_realtime_iris\":\"0\"}");
}

bool WorkflowTest::PumpUntil(const std::function<bool()>& done, uint32_t ms) {
  const uint32_t start = platform::GetTickCount();
  while (!done()) {
    if (platform::TicksSince(start) > ms) return false;
    ctrl_->ControlWindow().Pump(10);
  }
  return true;
}

bool WorkflowTest::WaitForEvent(const std::string& name, uint32_t ms) {
  return PumpUntil([&] { return events_.Count(name) > 0; }, ms);
}

std::vector<int32_t> WorkflowTest::Prompts() const {
  std::vector<int32_t> ids;
  for (const auto& call : sound_->Calls()) {
    if (call.kind != platform::RecordingSoundSink::CallKind::Play) continue;
    for (size_t i = 0; i < session::kPromptResourceCount; ++i) {
      if (session::kPromptResources[i].wav == call.wav)
        ids.push_back(session::kPromptResources[i].id);
    }
  }
  return ids;
}

RecordedEvent WorkflowTest::EnrollOk(control::SessionMode mode) {
  const char* name = mode == control::ModeEnrollBoth   ? "EnrollBothIrisEvent"
                     : mode == control::ModeEnrollLeft ? "EnrollLeftIrisEvent"
                                                       : "EnrollRightIrisEvent";
  const size_t before = events_.Count(name);
  EXPECT_EQ(ctrl_->InitIris(), 1);
  const int32_t r = mode == control::ModeEnrollBoth   ? ctrl_->EnrollBothIris()
                    : mode == control::ModeEnrollLeft ? ctrl_->EnrollLeftIris()
                                                      : ctrl_->EnrollRightIris();
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(PumpUntil([&] { return events_.Count(name) > before; }, 30000));
  EXPECT_TRUE(PumpUntil([&] { return !ctrl_->m_irisOpen; }, 3000));
  RecordedEvent last;
  for (const RecordedEvent& e : events_.Events()) {
    if (e.name == name) last = e;
  }
  EXPECT_EQ(last.ints.empty() ? 0 : last.ints[0], 1);
  return last;
}

bool ContainsInOrder(const std::vector<uint8_t>& seq, const std::vector<uint8_t>& sub) {
  size_t j = 0;
  for (size_t i = 0; i < seq.size() && j < sub.size(); ++i) {
    if (seq[i] == sub[j]) ++j;
  }
  return j == sub.size();
}

size_t CountOf(const std::vector<int32_t>& v, int32_t x) {
  return static_cast<size_t>(std::count(v.begin(), v.end(), x));
}
size_t CountOf(const std::vector<uint8_t>& v, uint8_t x) {
  return static_cast<size_t>(std::count(v.begin(), v.end(), x));
}

}  // namespace ocuvant::testing
