#include "hosts/ocuvant/simulated_devices.h"

#include <cstdlib>
#include <string_view>

#include "capture/capture_registry.h"
#include "device/hid_transport.h"

namespace ocuvant::host {

bool ParseSeed(const std::string& text, uint64_t* seed) {
  // At most 18 digits: every such number fits the seed.
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != text.npos) {
    return false;
  }
  *seed = std::strtoull(text.c_str(), nullptr, 10);
  return true;
}

bool ParseSimulatorFlag(const std::string& arg, SimulatorOption* option, std::string* error) {
  error->clear();
  constexpr std::string_view kFlag = "--simulator";
  if (!arg.starts_with(kFlag)) return false;
  const std::string rest = arg.substr(kFlag.size());
  if (rest.empty()) {
    option->enabled = true;
    return true;
  }
  if (rest.starts_with("=subject=")) {
    if (!ParseSeed(rest.substr(9), &option->seed)) {
      *error = "--simulator=subject= takes a whole number";
      return false;
    }
    option->enabled = true;
    return true;
  }
  if (rest.starts_with("=replay=")) {
    option->replayDirectory = rest.substr(8);
    if (option->replayDirectory.empty()) {
      *error = "--simulator=replay= takes a folder";
      return false;
    }
    option->enabled = true;
    return true;
  }
  *error = "unknown simulator option '" + arg + "' (--simulator, --simulator=subject=N, " +
           "--simulator=replay=DIR)";
  return false;
}

SimulatedDevices::SimulatedDevices() {
  device::InstallHidTransport(&illuminator_);
}

SimulatedDevices::~SimulatedDevices() {
  simulator::RemoveVirtualCameras();
  device::InstallHidTransport(nullptr);
}

bool SimulatedDevices::Install(simulator::VirtualCameraConfig config, std::string* error) {
  config.illuminatorOn = [this] { return illuminator_.FillLightOn(); };
  return simulator::InstallVirtualCameras(config, error);
}

bool SimulatedDevices::Install(const SimulatorOption& option, std::string* error) {
  simulator::VirtualCameraConfig config;
  config.subjectSeed = option.seed;
  config.replayDirectory = option.replayDirectory;
  return Install(std::move(config), error);
}

bool CameraAttached(const std::string& fragment) {
  for (const capture::DeviceDescriptor& d : capture::EnumerateCaptureDevices()) {
    if (d.hasDevicePath && d.devicePath.find(fragment) != std::string::npos) return true;
  }
  return false;
}

}  // namespace ocuvant::host
