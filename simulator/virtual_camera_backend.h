// The simulator's cameras in the camera list: an iris camera (scripted subject or a
// replayed recording), a visible-light and an infrared photo camera, listed with the
// device paths that the control's built-in camera fragments select.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "capture/capture_backend.h"
#include "simulator/render/eye_renderer.h"
#include "simulator/virtual_camera_controls.h"

namespace ocuvant::simulator {

inline constexpr char kVirtualIrisCameraPath[] =
    "\\\\?\\usb#vid_0c45&pid_6366&mi_00#7&2f1b8c3a&0&0000#"
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
inline constexpr char kVirtualVisibleCameraPath[] =
    "\\\\?\\usb#vid_05e3&pid_f11d&mi_00#7&1c9e4d27&0&0000#"
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
inline constexpr char kVirtualInfraredCameraPath[] =
    "\\\\?\\usb#vid_05e3&pid_f11c&mi_00#7&3a07b5e1&0&0000#"
    "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

enum class VirtualCamera : int { Iris = 0, Visible = 1, Infrared = 2 };

struct VirtualCameraConfig {
  bool irisCamera = true;
  bool visibleCamera = true;
  bool infraredCamera = true;
  uint64_t subjectSeed = 1;     // the simulated person
  std::string script;           // what the person does (see virtual_camera_script.h)
  std::string replayDirectory;  // not empty: the iris camera replays this folder
  std::string faceScript;       // not empty: the infrared camera shows this face script
  int32_t irisWidth = 1920;     // another size makes an iris camera of the wrong format
  int32_t irisHeight = 1080;
  int32_t visibleWidth = 1280;
  int32_t visibleHeight = 720;
  int32_t infraredWidth = 640;
  int32_t infraredHeight = 480;
  double framesPerSecond = 30;
  int32_t renderEveryNthFrame = 5;      // the iris camera renders a new picture this often
  bool delivers = true;                 // false: cameras that start but never deliver a frame
  std::function<bool()> illuminatorOn;  // the iris scene brightens while this says true
};

class VirtualCameraBackend final : public capture::CaptureBackend {
 public:
  explicit VirtualCameraBackend(VirtualCameraConfig config);

  void Enumerate(const std::shared_ptr<capture::CaptureBackend>& self,
                 std::vector<capture::DeviceDescriptor>* out) override;
  std::unique_ptr<capture::CaptureSource> Bind(const capture::DeviceDescriptor& device) override;

  // The settings of one camera; they persist across sessions as a device's do.
  VirtualCameraControls& Controls(VirtualCamera camera) const;
  const VirtualCameraConfig& config() const { return config_; }

 private:
  // The scripted person, built at the first open of the iris camera and shared by
  // every later one.
  std::shared_ptr<const sim::Subject> SharedSubject();

  const VirtualCameraConfig config_;
  std::shared_ptr<VirtualCameraControls> controls_[3];
  std::mutex subjectMutex_;
  std::shared_ptr<const sim::Subject> subject_;
};

// Checks the configuration (script syntax, replay folder) and puts the virtual cameras
// into the camera list, replacing any installed before. False with a reason otherwise.
bool InstallVirtualCameras(const VirtualCameraConfig& config, std::string* error);
void RemoveVirtualCameras();
// The installed backend, or nullptr.
std::shared_ptr<VirtualCameraBackend> InstalledVirtualCameras();

}  // namespace ocuvant::simulator
