// `ocuvant cameras`: the control's camera list (EnumCameras), one camera a line.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_registry.h"
#include "control/ocuvant_ctrl.h"
#include "hosts/ocuvant/command.h"
#include "hosts/ocuvant/simulated_devices.h"

namespace ocuvant::host {
namespace {

const char* const kUsage =
    "usage: ocuvant cameras [--paths] [--formats] [--simulator]\n"
    "Prints the cameras the control sees, one a line, in the order it searches them.\n"
    "  --paths                device paths (what the camera fragments are searched in)\n"
    "                         instead of friendly names\n"
    "  --formats              under each camera, the modes it offers (pixel format,\n"
    "                         size, frame rate); '*' marks the one an iris session uses\n"
    "  --simulator            also list the virtual iris, visible-light and infrared\n"
    "                         cameras (without it only real cameras are listed)\n"
    "Exit status: 0 (also when there is no camera), 2 usage.";

// Each camera of the list (name or path) followed by its modes, indented.
int PrintFormats(bool paths) {
  const std::vector<capture::DeviceDescriptor> devices = capture::EnumerateCaptureDevices();
  if (devices.empty()) std::fprintf(stderr, "no camera found\n");
  for (const capture::DeviceDescriptor& d : devices) {
    std::printf("%s\n", (paths ? d.devicePath : d.friendlyName).c_str());
    const std::vector<std::string> modes =
        d.backend ? d.backend->DescribeModes(d) : std::vector<std::string>{};
    if (modes.empty()) std::printf("  (no modes listed)\n");
    for (const std::string& m : modes) std::printf("  %s\n", m.c_str());
  }
  return 0;
}

int RunCameras(const std::vector<std::string>& args) {
  bool paths = false;
  bool formats = false;
  SimulatorOption simulator;
  for (const std::string& a : args) {
    std::string error;
    if (a == "--paths") {
      paths = true;
    } else if (a == "--formats") {
      formats = true;
    } else if (!ParseSimulatorFlag(a, &simulator, &error)) {
      std::fprintf(stderr, "ocuvant cameras: %s\n%s\n",
                   error.empty() ? ("unexpected argument '" + a + "'").c_str() : error.c_str(),
                   kUsage);
      return 2;
    }
  }
  std::unique_ptr<SimulatedDevices> sim;
  if (simulator.enabled) {
    sim = std::make_unique<SimulatedDevices>();
    std::string error;
    if (!sim->Install(simulator, &error)) {
      std::fprintf(stderr, "ocuvant cameras: simulator: %s\n", error.c_str());
      return 2;
    }
  }
  if (formats) return PrintFormats(paths);
  std::string text;
  {
    auto ctrl = control::COcuvantCtrl::Create();
    text = ctrl->EnumCameras(paths ? 1 : 0);
  }
  if (text.empty()) {
    std::fprintf(stderr, "no camera found%s\n", simulator.enabled ? "" : " (try --simulator)");
    return 0;
  }
  // The control joins the names with ';'.
  size_t start = 0;
  while (true) {
    const size_t end = text.find(';', start);
    std::printf("%s\n", text.substr(start, end - start).c_str());
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return 0;
}

CommandRegistrar reg({"cameras",
                      "list the cameras the control sees (--simulator adds virtual ones)", kUsage,
                      &RunCameras});

}  // namespace
}  // namespace ocuvant::host
