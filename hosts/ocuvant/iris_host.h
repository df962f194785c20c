// A control with its event sink, run on the calling thread, for the iris commands:
// picks the real iris camera or the simulator, runs one enrollment or match at a
// time and shows live progress on standard error.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/session_types.h"
#include "hosts/ocuvant/iris_options.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::host {

class IrisSink;
class SimulatedDevices;

struct EnrollOutcome {
  int32_t result = 0;
  // The 1024-byte template areas (step 0, then step 1) of the enabled kind, per eye.
  std::array<std::array<uint8_t, 1024>, 2> templates{};
  bool closed = false;  // CloseCameraEvent(0, 0) followed
};

struct MatchOutcome {
  int32_t result = 0;
  int32_t index[3] = {-1, -1, -1};  // Small, Big, Q5
  bool closed = false;
};

class IrisHost {
 public:
  // progress: print live progress to standard error.
  IrisHost(const IrisOptions& options, bool progress);
  ~IrisHost();
  IrisHost(const IrisHost&) = delete;
  IrisHost& operator=(const IrisHost&) = delete;

  // True when the simulator stands in for the cameras and the illuminator.
  bool Simulated() const;
  // Empty, or why the simulator could not be set up (a replay folder without frames).
  const std::string& SetupError() const { return setupError_; }
  // Another simulated person in front of the camera (simulator only; between sessions).
  bool SetSimulatedPerson(uint64_t seed, const std::string& script, std::string* error);
  // The simulated iris camera replaying the frames of `directory` instead.
  bool SetSimulatedReplay(const std::string& directory, std::string* error);
  void SetMatchTimeout(int32_t seconds);

  // InitIris and the enrollment of `mode`; waits for its event. A negative value
  // from the method itself is returned as the result.
  EnrollOutcome Enroll(control::SessionMode mode);
  // InitIris and MatchIris with `db` (count templates of 128 int32) for the kind.
  MatchOutcome Match(const std::vector<int32_t>& db, int32_t count);

  const IrisOptions& options() const { return options_; }
  control::COcuvantCtrl& ctrl() { return *ctrl_; }

 private:
  bool WaitFor(bool (*done)(const IrisSink&), uint32_t limitMs, bool showProgress);
  void ShowProgress(bool enroll, bool final);

  IrisOptions options_;
  bool progress_;
  std::unique_ptr<SimulatedDevices> sim_;
  std::unique_ptr<control::COcuvantCtrl> ctrl_;
  std::unique_ptr<IrisSink> sink_;
  control::SessionMode mode_ = control::ModeIdle;
  std::string lastProgress_;
  std::string setupError_;
  int32_t lastStep_ = 0;  // enrollment step of the last progress line shown while armed
};

// The rejection reason of an engine result code, in words.
const char* RejectionWords(int32_t code);

}  // namespace ocuvant::host
