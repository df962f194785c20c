#include "simulator/virtual_iris_camera.h"

namespace ocuvant::simulator {
namespace {

// The subject holds still for half a second at a time: position, size and pupil change
// between holds, sensor noise on every frame.
constexpr uint64_t kFramesPerHold = 15;

}  // namespace

VirtualIrisCamera::VirtualIrisCamera(const VirtualStreamFormat& format,
                                     std::shared_ptr<const sim::Subject> subject,
                                     SubjectScript script, std::function<bool()> illuminatorOn,
                                     int32_t renderEvery,
                                     std::shared_ptr<VirtualCameraControls> controls)
    : VirtualCameraStream(format, std::move(controls)),
      subject_(std::move(subject)),
      subjectSeed_(subject_->seed()),
      script_(std::move(script)),
      illuminatorOn_(std::move(illuminatorOn)),
      renderEvery_(renderEvery > 1 ? static_cast<uint64_t>(renderEvery) : 1) {}

VirtualIrisCamera::~VirtualIrisCamera() {
  StopStream();
}

void VirtualIrisCamera::ParamsFor(SubjectAction action, uint64_t subjectSeed, uint64_t index,
                                  bool illuminatorOn, sim::CaptureParams* left,
                                  sim::CaptureParams* right) {
  const uint64_t hold = index / kFramesPerHold;
  for (int eye = 0; eye < 2; ++eye) {
    sim::CaptureParams& p = eye == 0 ? *left : *right;
    // Eye-image sized parameters (the Big eye image is cut from the frame unscaled),
    // placed at the frame's default eye positions.
    p = sim::GoodCapture(1280, 960, subjectSeed * 1000003 + hold * 2 + static_cast<uint64_t>(eye));
    p.centerX = -1;
    p.centerY = -1;
    p.captureSeed = index * 2 + static_cast<uint64_t>(eye) + 1;
    p.illuminatorOn = illuminatorOn;
    switch (action) {
      case SubjectAction::PresentLooking:
        break;
      case SubjectAction::EyesClosed:
        p.variant = sim::EyeVariant::Closed;
        p.openness = 0;
        break;
      case SubjectAction::LookingAway:
        p.gazeX = 0.45;
        p.gazeY = 0.15;
        p.rotationDegrees += 12;
        break;
      case SubjectAction::TooFar:
        p.irisRadius *= 0.45;
        break;
      case SubjectAction::Gone:
        p.variant = sim::EyeVariant::NoEye;
        break;
      case SubjectAction::Defocused:
        p.variant = sim::EyeVariant::Defocused;
        break;
      case SubjectAction::CameraStalled:  // nothing is rendered
      case SubjectAction::CameraUnplugged:
        break;
    }
  }
}

bool VirtualIrisCamera::RenderFrame(uint64_t index, uint8_t* bgr) {
  const double ms = static_cast<double>(index) * 1000.0 / format().framesPerSecond;
  const SubjectAction action = script_.ActionAt(static_cast<uint64_t>(ms));
  if (action == SubjectAction::CameraStalled) return false;
  const bool light = illuminatorOn_ && illuminatorOn_();
  if (rendered_ && index - lastIndex_ < renderEvery_ && action == lastAction_ &&
      light == lastLight_) {
    return true;  // the buffer still holds the last picture
  }
  rendered_ = true;
  lastIndex_ = index;
  lastAction_ = action;
  lastLight_ = light;
  sim::CaptureParams left, right;
  ParamsFor(action, subjectSeed_, index, light, &left, &right);
  sim::RenderBinocularFrame(*subject_, left, right, bgr, format().width, format().height,
                            sim::FrameFormat::Bgr24BottomUp);
  return true;
}

bool VirtualIrisCamera::Unplugged(uint64_t index) const {
  const double ms = static_cast<double>(index) * 1000.0 / format().framesPerSecond;
  return script_.ActionAt(static_cast<uint64_t>(ms)) == SubjectAction::CameraUnplugged;
}

}  // namespace ocuvant::simulator
