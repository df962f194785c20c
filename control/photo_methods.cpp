// Photo and background-photo camera methods. Their camera searches run on the
// capture sessions; with none attached every search reports "no device" (-1).
#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {

int32_t COcuvantCtrl::InitPhotoCapture(int32_t) {
  ParseSettings();  // result ignored
  // The iris and infrared face cameras chain to the photo camera here once they can
  // be open; PhotoOpen's camera search follows.
  if (m_photoOpen) {
    LogIfEnabled("拍照已经启动过了", "open");
    return 1;
  }
  LogIfEnabled("找不到拍照摄像头", "open");
  return -1;
}

int32_t COcuvantCtrl::PhotoCapture(int32_t, const std::string&) {
  return -1;  // the photo camera is not open
}

int32_t COcuvantCtrl::ClosePhotoCapture() {
  if (!m_photoOpen) return -1;
  if (m_framesIgnored) {
    LogIfEnabled("已经在关闭", "close");
    return -2;
  }
  return -1;
}

int32_t COcuvantCtrl::InitBkPhotoCapture(int32_t) {
  if (m_bkRunning) return 1;
  return -1;  // camera search on m_bkCapture: no device list
}

int32_t COcuvantCtrl::CloseBkPhotoCapture() {
  return 1;
}  // nothing runs to close

int32_t COcuvantCtrl::StopBkPhotoCapture() {
  return 0;
}

}  // namespace ocuvant::control
