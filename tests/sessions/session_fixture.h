// A control driven through the simulator's cameras and illuminator, with an event
// recorder and a message pump for the test's (host) thread.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/capture_registry.h"
#include "control/ocuvant_ctrl.h"
#include "device/hid_transport.h"
#include "platform/thread.h"
#include "simulator/virtual_camera_backend.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::sessions_test {

struct Event {
  std::string name;
  int32_t a = 0;
  int32_t b = 0;
  std::string text;
  uint32_t tick = 0;
};

class Recorder : public control::EventSink {
 public:
  void LogInfo(const std::string& tag, const std::string& log) override {
    Add({"LogInfo", 0, 0, tag + "|" + log});
  }
  void EnrollBothIrisEvent(const int32_t*, const int32_t*, const int32_t*, const int32_t*,
                           const int32_t*, const int32_t*, int32_t r) override {
    Add({"EnrollBothIrisEvent", r, 0, {}});
  }
  void EnrollLeftIrisEvent(const int32_t*, const int32_t*, const int32_t*, int32_t r) override {
    Add({"EnrollLeftIrisEvent", r, 0, {}});
  }
  void MatchIrisEvent(int32_t, int32_t, int32_t, int32_t r) override {
    Add({"MatchIrisEvent", r, 0, {}});
  }
  void PhotoCaptureEvent(int32_t kind, const std::string& file) override {
    Add({"PhotoCaptureEvent", kind, 0, file});
  }
  void CloseCameraEvent(int32_t kind, int32_t result) override {
    Add({"CloseCameraEvent", kind, result, {}});
  }

  std::vector<Event> Named(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Event> out;
    for (const Event& e : events_) {
      if (e.name == name) out.push_back(e);
    }
    return out;
  }
  bool HasLog(const std::string& tagAndText) const {
    for (const Event& e : Named("LogInfo")) {
      if (e.text == tagAndText) return true;
    }
    return false;
  }
  int CountLogs(const std::string& tagAndText) const {
    int n = 0;
    for (const Event& e : Named("LogInfo")) n += e.text == tagAndText;
    return n;
  }
  // Index of the first log line equal to tagAndText among all events, or -1.
  int IndexOf(const std::string& name, const std::string& text = {}) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < events_.size(); ++i) {
      if (events_[i].name == name && (text.empty() || events_[i].text == text)) return int(i);
    }
    return -1;
  }

 private:
  void Add(Event e) {
    e.tick = platform::GetTickCount();
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(e));
  }
  mutable std::mutex mutex_;
  std::vector<Event> events_;
};

// Default configuration with logging on (only Big enabled, all three kind keys set).
inline std::string Config(const std::string& extra = {}) {
  return "{\"log\":\"1\",\"save_raw\":\"0\",\"with_small_iris\":\"0\",\"with_q5_iris\":\"0\","
         "\"with_big_iris\":\"1\",\"iris_hid_ctl\":\"1\",\"iris_with_bkcapture\":\"0\","
         "\"iris_bkcapture_camera\":\"1\",\"capture_realtime_iris\":\"0\"" +
         extra + "}";
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }

  void Start(simulator::VirtualCameraConfig cameras) {
    capture::ClearCaptureBackends();  // no real camera takes part
    device::InstallHidTransport(&illuminator_);
    cameras.script = cameras.script.empty() ? "gone" : cameras.script;
    std::string error;
    ASSERT_TRUE(simulator::InstallVirtualCameras(cameras, &error)) << error;
    dir_ = std::filesystem::temp_directory_path() /
           ("ocuvant_sessions_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    control_ = control::COcuvantCtrl::Create();
    control_->m_moduleDir = dir_.string() + "/";
    control_->SetBurger(Config());
    control_->SetEventSink(&events_);
  }

  // Starts over with other cameras.
  void Restart(simulator::VirtualCameraConfig cameras) {
    TearDown();
    Start(std::move(cameras));
  }

  void TearDown() override {
    control_.reset();
    simulator::RemoveVirtualCameras();
    device::InstallHidTransport(nullptr);
    std::filesystem::remove_all(dir_);
  }

  // Handles the control's messages until `done` or `ms` have passed.
  bool PumpUntil(const std::function<bool()>& done, uint32_t ms) {
    const uint32_t start = platform::GetTickCount();
    while (!done()) {
      if (platform::TicksSince(start) > ms) return false;
      control_->ControlWindow().Pump(10);
    }
    return true;
  }
  void PumpFor(uint32_t ms) {
    PumpUntil([] { return false; }, ms);
  }
  bool WaitForClose(int32_t kind, uint32_t ms = 3000) {
    return PumpUntil(
        [&] {
          for (const Event& e : events_.Named("CloseCameraEvent")) {
            if (e.a == kind) return true;
          }
          return false;
        },
        ms);
  }
  std::vector<uint8_t> Codes() const { return illuminator_.Codes(); }
  std::filesystem::path dir_;
  simulator::VirtualIlluminator illuminator_;
  Recorder events_;
  std::unique_ptr<control::COcuvantCtrl> control_;
};

}  // namespace ocuvant::sessions_test
