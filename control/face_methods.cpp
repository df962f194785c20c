// Infrared face enrollment methods. The face library binding and the infrared camera
// are not attached to this build: the face session never becomes active.
#include "control/not_wired.h"
#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {

int32_t COcuvantCtrl::InitInfraredFace() {
  if (m_faceOpen) return 1;
  ParseSettings();  // result ignored
  return -1;
}

int32_t COcuvantCtrl::EnrollInfraredFace() {
  LogIfEnabled("启动人脸视频失败", "face");
  return kSessionCannotStart;
}

int32_t COcuvantCtrl::CloseInfraredFace() {
  return 1;
}  // nothing open to close

}  // namespace ocuvant::control
