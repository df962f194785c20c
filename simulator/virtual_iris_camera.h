// The virtual binocular iris camera: frames showing both eyes of a seeded subject, who
// follows a script (present, eyes closed, looking away, too far, gone, defocused), and
// a camera that may stall or be unplugged on cue.
#pragma once

#include <functional>
#include <memory>

#include "simulator/render/eye_renderer.h"
#include "simulator/virtual_camera_script.h"
#include "simulator/virtual_camera_stream.h"

namespace ocuvant::simulator {

class VirtualIrisCamera final : public VirtualCameraStream {
 public:
  // A new picture is rendered every `renderEvery` frames, and at once when the script
  // step or the illuminator changes; the frames between repeat it (rendering a full
  // frame costs tens of milliseconds). The subject is shared: building one costs more
  // than opening the camera, which a host does once per session.
  VirtualIrisCamera(const VirtualStreamFormat& format, std::shared_ptr<const sim::Subject> subject,
                    SubjectScript script, std::function<bool()> illuminatorOn, int32_t renderEvery,
                    std::shared_ptr<VirtualCameraControls> controls);
  ~VirtualIrisCamera() override;

  // The capture parameters of both eyes (left, right) for frame `index` of a stream.
  static void ParamsFor(SubjectAction action, uint64_t subjectSeed, uint64_t index,
                        bool illuminatorOn, sim::CaptureParams* left, sim::CaptureParams* right);

 protected:
  bool RenderFrame(uint64_t index, uint8_t* bgr) override;
  bool Unplugged(uint64_t index) const override;

 private:
  const std::shared_ptr<const sim::Subject> subject_;
  uint64_t subjectSeed_;
  SubjectScript script_;
  std::function<bool()> illuminatorOn_;
  const uint64_t renderEvery_;
  bool rendered_ = false;  // streaming thread only, as the three below
  uint64_t lastIndex_ = 0;
  SubjectAction lastAction_ = SubjectAction::PresentLooking;
  bool lastLight_ = false;
};

}  // namespace ocuvant::simulator
