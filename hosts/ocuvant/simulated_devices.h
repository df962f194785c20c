// The simulator standing in for the hardware on the `ocuvant` host: the virtual
// cameras in the camera list and the virtual illuminator as the HID transport, for the
// life of one object. Also the `--simulator` flag of the camera commands.
#pragma once

#include <cstdint>
#include <string>

#include "simulator/virtual_camera_backend.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::host {

struct SimulatorOption {
  bool enabled = false;
  uint64_t seed = 1;            // the simulated person in front of the iris camera
  std::string replayDirectory;  // not empty: the iris camera replays this folder
};

// Reads one of "--simulator", "--simulator=subject=N" and "--simulator=replay=DIR".
// Returns false with an empty error when `arg` is none of them, false with the reason
// when it is malformed.
bool ParseSimulatorFlag(const std::string& arg, SimulatorOption* option, std::string* error);
// A whole decimal seed ("7"), as given after a bare --simulator.
bool ParseSeed(const std::string& text, uint64_t* seed);

class SimulatedDevices {
 public:
  SimulatedDevices();   // the virtual illuminator becomes the HID transport
  ~SimulatedDevices();  // removes the virtual cameras and restores hidapi
  SimulatedDevices(const SimulatedDevices&) = delete;
  SimulatedDevices& operator=(const SimulatedDevices&) = delete;

  // Puts the virtual cameras of `config` into the camera list, replacing any installed
  // before; the iris scene follows the virtual illuminator's fill light.
  bool Install(simulator::VirtualCameraConfig config, std::string* error);
  // The three cameras, the iris camera showing `option`'s person or recording.
  bool Install(const SimulatorOption& option, std::string* error);

  simulator::VirtualIlluminator& Illuminator() { return illuminator_; }

 private:
  simulator::VirtualIlluminator illuminator_;
};

// Whether a camera whose device path contains `fragment` is in the camera list.
bool CameraAttached(const std::string& fragment);

}  // namespace ocuvant::host
