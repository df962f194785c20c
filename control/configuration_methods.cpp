// Configuration methods: the settings parse, camera parameters, quality thresholds
// and the quality reports.
#include <cstdio>

#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {

int32_t COcuvantCtrl::ParseSettings() {
  return session::ParseSettings({Burger, CameraIDIris, m_defaultIrisCameraId, m_logEnabled,
                                 m_saveRaw, m_irisHidCtl, m_withQ5, m_withBig, m_withSmall,
                                 m_withBkCapture, m_bkCaptureCamera, m_settings});
}

int32_t COcuvantCtrl::SetCameraParams(int32_t CameraKind, const std::string& CameraParams) {
  if (CameraKind >= 0 && CameraKind < 3) m_cameraParams[CameraKind] = CameraParams;
  return 1;
}

int32_t COcuvantCtrl::SetEnrollIrisQuality(int32_t IrisKind, int32_t Texture, int32_t VisualDegree,
                                           int32_t Gaze, int32_t Focus, int32_t Movement) {
  session::StoreQuality(m_enrollQuality, IrisKind, {Texture, VisualDegree, Gaze, Focus, Movement});
  return -1;
}

int32_t COcuvantCtrl::SetMatchIrisQuality(int32_t IrisKind, int32_t Texture, int32_t VisualDegree,
                                          int32_t Gaze, int32_t Focus, int32_t Movement) {
  session::StoreQuality(m_matchQuality, IrisKind, {Texture, VisualDegree, Gaze, Focus, Movement});
  return -1;
}

namespace {

void Append(std::string& out, const int32_t* values, int n) {
  char buffer[16];
  for (int i = 0; i < n; ++i) {
    std::snprintf(buffer, sizeof buffer, "%d", values[i]);
    if (!out.empty()) out += '-';
    out += buffer;
  }
}

}  // namespace

std::string COcuvantCtrl::GetEnrollIrisQuality() {
  std::string out;
  for (int eye : {EyeLeft, EyeRight}) {
    Append(out, m_small.enrollQualityReport[eye], 6);
    Append(out, m_small.enrollLocationReport[eye], 4);
  }
  for (int eye : {EyeLeft, EyeRight}) {
    Append(out, m_big.enrollQualityReport[eye], 6);
    Append(out, m_big.enrollLocationReport[eye], 4);
  }
  Append(out, m_q5.enrollQualityReport[EyeLeft], 3);
  Append(out, m_q5.enrollQualityReport[EyeRight], 3);
  return out;
}

std::string COcuvantCtrl::GetMatchIrisQuality() {
  std::string out;
  Append(out, m_small.matchQualityReport, 6);
  Append(out, m_small.matchLocationReport, 4);
  return out;
}

std::string COcuvantCtrl::GetVersion() {
  return {};
}

int32_t COcuvantCtrl::CaptureIrisImage(const std::string&) {
  return 0;
}

}  // namespace ocuvant::control
