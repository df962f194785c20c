#include "ocx/simulator_setup.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "device/hid_transport.h"
#include "simulator/dshow/illuminator_link_win.h"
#include "simulator/virtual_camera_backend.h"
#include "simulator/virtual_illuminator.h"

namespace ocuvant::ocx {

namespace {

std::mutex g_mutex;
int g_users = 0;
std::unique_ptr<simulator::VirtualIlluminator> g_illuminator;
// The fill light as the DirectShow virtual cameras read it (from their stream
// threads); cleared before the illuminator goes.
std::atomic<simulator::VirtualIlluminator*> g_light{nullptr};

int FillLightOn() {
  simulator::VirtualIlluminator* illuminator = g_light.load(std::memory_order_acquire);
  return illuminator != nullptr && illuminator->FillLightOn() ? 1 : 0;
}

bool ParseOption(const std::string& text, simulator::VirtualCameraConfig* config,
                 bool* illuminatorOnly) {
  if (text == "1") return true;
  if (text == "illuminator") {
    *illuminatorOnly = true;
    return true;
  }
  if (text.rfind("subject=", 0) == 0) {
    const std::string digits = text.substr(8);
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    config->subjectSeed = std::strtoull(digits.c_str(), nullptr, 10);
    return true;
  }
  if (text.rfind("replay=", 0) == 0 && text.size() > 7) {
    config->replayDirectory = text.substr(7);
    return true;
  }
  return false;
}

}  // namespace

bool AcquireSimulator() {
  const char* value = std::getenv("OCUVANT_SIMULATOR");
  if (value == nullptr || *value == '\0' || std::string(value) == "0") return false;
  std::lock_guard lock(g_mutex);
  if (g_users > 0) {
    ++g_users;
    return true;
  }
  simulator::VirtualCameraConfig config;
  bool illuminatorOnly = false;
  if (!ParseOption(value, &config, &illuminatorOnly)) {
    std::fprintf(stderr,
                 "ocuvant: OCUVANT_SIMULATOR=%s is not 1, subject=N, replay=DIR or "
                 "illuminator; "
                 "using the real devices\n",
                 value);
    return false;
  }
  g_illuminator = std::make_unique<simulator::VirtualIlluminator>();
  device::InstallHidTransport(g_illuminator.get());
  simulator::VirtualIlluminator* illuminator = g_illuminator.get();
  config.illuminatorOn = [illuminator] { return illuminator->FillLightOn(); };
  g_light.store(illuminator, std::memory_order_release);
  simulator::dshow::PublishFillLight(&FillLightOn);
  std::string error;
  if (illuminatorOnly) {
    // The cameras are DirectShow's (the virtual camera filters, or real ones).
  } else if (!simulator::InstallVirtualCameras(config, &error)) {
    std::fprintf(stderr, "ocuvant: simulator cameras not installed: %s\n", error.c_str());
  }
  g_users = 1;
  return true;
}

void ReleaseSimulator() {
  std::lock_guard lock(g_mutex);
  if (g_users == 0 || --g_users > 0) return;
  simulator::RemoveVirtualCameras();
  device::InstallHidTransport(nullptr);
  g_light.store(nullptr, std::memory_order_release);
  g_illuminator.reset();
}

}  // namespace ocuvant::ocx
