// A control driven through the simulator: virtual iris camera (scripted subject or
// replayed frames), virtual illuminator recording every HID report, recording sound
// sink, and an event sink that keeps every event in order.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "control/events.h"
#include "control/ocuvant_ctrl.h"
#include "platform/recording_sound_sink.h"
#include "session/voice_prompt.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::testing {

struct RecordedEvent {
  std::string name;
  std::vector<int32_t> ints;                    // integer arguments in order
  std::vector<std::array<int32_t, 256>> areas;  // template arguments (array events)
  std::vector<std::string> strings;             // string arguments
};

class RecordingEvents final : public control::EventSink {
 public:
  void EnrollBothIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c, const int32_t* d,
                           const int32_t* e, const int32_t* f, int32_t r) override;
  void EnrollLeftIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                           int32_t r) override;
  void EnrollRightIrisEvent(const int32_t* a, const int32_t* b, const int32_t* c,
                            int32_t r) override;
  void MatchIrisEvent(int32_t s, int32_t b, int32_t q, int32_t r) override;
  void CloseCameraEvent(int32_t kind, int32_t result) override;
  void LogInfo(const std::string& tag, const std::string& log) override;

  std::vector<RecordedEvent> Events() const;
  size_t Count(const std::string& name) const;
  std::vector<std::string> Logs() const;

  // Called with every log line as it is logged, on the logging thread (set it before
  // the session starts).
  std::function<void(const std::string& tag, const std::string& log)> onLog;

 private:
  void Add(RecordedEvent e);
  mutable std::mutex mutex_;
  std::vector<RecordedEvent> events_;
  std::vector<std::string> logs_;  // "tag|text"
};

class WorkflowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The simulated person in front of the camera (between sessions only).
  void UseSubject(uint64_t seed, const std::string& script = "");
  // The camera replays the frame files of `dir` in name order.
  void UseReplay(const std::string& dir);
  // Enables exactly `kind` (0 Small, 1 Big, 2 Q5).
  void Configure(int kind);

  // Runs the control's message loop until `done` or `ms` milliseconds passed.
  bool PumpUntil(const std::function<bool()>& done, uint32_t ms);
  bool WaitForEvent(const std::string& name, uint32_t ms);

  // Voice prompts played so far, by resource number, in order.
  std::vector<int32_t> Prompts() const;
  std::vector<uint8_t> HidCodes() const { return illuminator_.Codes(); }

  // A finished enrollment of `mode` with `seed`: the array event's areas (Small, Big,
  // Q5 order, left then right for both eyes). Fails the test when it did not succeed.
  RecordedEvent EnrollOk(control::SessionMode mode);

  RecordingEvents events_;
  platform::RecordingSoundSink* sound_ = nullptr;  // owned by player_
  std::unique_ptr<session::VoicePlayer> player_;
  simulator::VirtualIlluminator illuminator_;
  std::unique_ptr<control::COcuvantCtrl> ctrl_;
};

// Position of the first occurrence of `sub` as a subsequence of `seq` (in order, not
// necessarily adjacent); false when it does not occur.
bool ContainsInOrder(const std::vector<uint8_t>& seq, const std::vector<uint8_t>& sub);

size_t CountOf(const std::vector<int32_t>& v, int32_t x);
size_t CountOf(const std::vector<uint8_t>& v, uint8_t x);

}  // namespace ocuvant::testing
