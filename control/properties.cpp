// Properties: plain values; a change marks the control modified and takes effect
// when a method next reads the value.
#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {

void COcuvantCtrl::SetStringMode(int32_t v) {
  StringMode = v;
  SetModifiedFlag();
}
void COcuvantCtrl::SetCameraIDIris(const std::string& v) {
  CameraIDIris = v;
  SetModifiedFlag();
}
void COcuvantCtrl::SetEnableVoice(int32_t v) {
  EnableVoice = v;
  SetModifiedFlag();
}
void COcuvantCtrl::SetEnrollIrisTimeout(int32_t v) {
  EnrollIrisTimeout = v;
  SetModifiedFlag();
}
void COcuvantCtrl::SetMatchIrisTimeout(int32_t v) {
  MatchIrisTimeout = v;
  SetModifiedFlag();
}
void COcuvantCtrl::SetCameraIDVisible(const std::string& v) {
  CameraIDVisible = v;
  SetModifiedFlag();
}
void COcuvantCtrl::SetCameraIDInfrared(const std::string& v) {
  CameraIDInfrared = v;
  SetModifiedFlag();
}
void COcuvantCtrl::SetBurger(const std::string& v) {
  Burger = v;
  SetModifiedFlag();
}

}  // namespace ocuvant::control
