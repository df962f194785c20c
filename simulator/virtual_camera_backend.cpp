#include "simulator/virtual_camera_backend.h"

#include <mutex>

#include "capture/capture_registry.h"
#include "simulator/virtual_camera_script.h"
#include "simulator/virtual_face_camera.h"
#include "simulator/virtual_iris_camera.h"
#include "simulator/virtual_photo_camera.h"
#include "simulator/virtual_replay_camera.h"

namespace ocuvant::simulator {
namespace {

constexpr const char* kLocators[] = {"virtual:iris", "virtual:visible", "virtual:infrared"};

std::mutex g_installMutex;
std::shared_ptr<VirtualCameraBackend> g_installed;

}  // namespace

VirtualCameraBackend::VirtualCameraBackend(VirtualCameraConfig config)
    : config_(std::move(config)) {
  for (auto& c : controls_) c = std::make_shared<VirtualCameraControls>();
}

VirtualCameraControls& VirtualCameraBackend::Controls(VirtualCamera camera) const {
  return *controls_[static_cast<int>(camera)];
}

void VirtualCameraBackend::Enumerate(const std::shared_ptr<capture::CaptureBackend>& self,
                                     std::vector<capture::DeviceDescriptor>* out) {
  const struct {
    bool present;
    const char* name;
    const char* path;
  } rows[] = {
      {config_.irisCamera, "Virtual Iris Camera", kVirtualIrisCameraPath},
      {config_.visibleCamera, "Virtual Visible Camera", kVirtualVisibleCameraPath},
      {config_.infraredCamera, "Virtual Infrared Camera", kVirtualInfraredCameraPath},
  };
  for (int i = 0; i < 3; ++i) {
    if (!rows[i].present) continue;
    capture::DeviceDescriptor d;
    d.hasFriendlyName = true;
    d.friendlyName = rows[i].name;
    d.hasDevicePath = true;
    d.devicePath = rows[i].path;
    d.locator = kLocators[i];
    d.backend = self;
    out->push_back(std::move(d));
  }
}

std::shared_ptr<const sim::Subject> VirtualCameraBackend::SharedSubject() {
  std::lock_guard<std::mutex> lock(subjectMutex_);
  if (!subject_) subject_ = std::make_shared<const sim::Subject>(config_.subjectSeed);
  return subject_;
}

std::unique_ptr<capture::CaptureSource> VirtualCameraBackend::Bind(
    const capture::DeviceDescriptor& device) {
  const double fps = config_.framesPerSecond;
  if (device.locator == kLocators[0]) {
    if (!config_.replayDirectory.empty()) {
      return std::make_unique<VirtualReplayCamera>(config_.replayDirectory, fps, config_.delivers,
                                                   controls_[0]);
    }
    return std::make_unique<VirtualIrisCamera>(
        VirtualStreamFormat{config_.irisWidth, config_.irisHeight, fps, config_.delivers},
        SharedSubject(), SubjectScript::Parse(config_.script).value_or(SubjectScript()),
        config_.illuminatorOn, config_.renderEveryNthFrame, controls_[0]);
  }
  if (device.locator == kLocators[1]) {
    return std::make_unique<VirtualPhotoCamera>(
        VirtualStreamFormat{config_.visibleWidth, config_.visibleHeight, fps, config_.delivers},
        false, controls_[1]);
  }
  if (device.locator == kLocators[2]) {
    if (!config_.faceScript.empty()) {
      return std::make_unique<VirtualFaceCamera>(
          VirtualStreamFormat{config_.infraredWidth, config_.infraredHeight, fps, config_.delivers},
          FaceScript::Parse(config_.faceScript).value_or(FaceScript()), controls_[2]);
    }
    return std::make_unique<VirtualPhotoCamera>(
        VirtualStreamFormat{config_.infraredWidth, config_.infraredHeight, fps, config_.delivers},
        true, controls_[2]);
  }
  return nullptr;
}

bool InstallVirtualCameras(const VirtualCameraConfig& config, std::string* error) {
  if (!SubjectScript::Parse(config.script)) {
    if (error != nullptr) *error = "malformed subject script: " + config.script;
    return false;
  }
  if (!config.faceScript.empty() && !FaceScript::Parse(config.faceScript)) {
    if (error != nullptr) *error = "malformed face script: " + config.faceScript;
    return false;
  }
  if (!config.replayDirectory.empty() &&
      VirtualReplayCamera::ListFrames(config.replayDirectory).empty()) {
    if (error != nullptr) *error = "no replayable frames in " + config.replayDirectory;
    return false;
  }
  auto backend = std::make_shared<VirtualCameraBackend>(config);
  std::lock_guard<std::mutex> lock(g_installMutex);
  if (g_installed) capture::UnregisterCaptureBackend(g_installed);
  g_installed = backend;
  capture::RegisterCaptureBackend(backend);
  return true;
}

void RemoveVirtualCameras() {
  std::lock_guard<std::mutex> lock(g_installMutex);
  if (g_installed) capture::UnregisterCaptureBackend(g_installed);
  g_installed.reset();
}

std::shared_ptr<VirtualCameraBackend> InstalledVirtualCameras() {
  std::lock_guard<std::mutex> lock(g_installMutex);
  return g_installed;
}

}  // namespace ocuvant::simulator
