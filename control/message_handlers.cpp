// The control's window: handlers of the private messages, on the host's thread.
#include <cstdio>

#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"

namespace ocuvant::control {

intptr_t COcuvantCtrl::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t) {
  const auto value = static_cast<int32_t>(static_cast<intptr_t>(wParam));
  switch (msg) {
    case WM_ENROLL_BOTH_DONE:
      OnEnrollDone(ModeEnrollBoth, value);
      return 0;
    case WM_ENROLL_LEFT_DONE:
      OnEnrollDone(ModeEnrollLeft, value);
      return 0;
    case WM_ENROLL_RIGHT_DONE:
      OnEnrollDone(ModeEnrollRight, value);
      return 0;
    case WM_MATCH_DONE:
      OnMatchDone(value);
      return 0;
    case WM_CAMERA_NEXT:
      OnCameraNext(value);
      return 0;
    case WM_CAMERA_CLOSED:
      FireCloseCameraEvent(value, 0);
      return 0;
    default:
      return 0;
  }
}

void COcuvantCtrl::OnEnrollDone(SessionMode mode, int32_t result) {
  if (result == 1 && m_enrollStep == 0) {
    m_enrollStep = 1;  // step 1 starts on the open camera
    StartEnrollment(mode);
    return;
  }
  if (result == 1) m_enrollStep = 0;
  StartCloseIrisVideo(NextNone);
  device::SendIlluminatorCommand(result == 1 ? device::CmdResultOk : device::CmdResultFail);
  DeliverEnrollResult(mode, result);
}

void COcuvantCtrl::DeliverEnrollResult(SessionMode mode, int32_t result) {
  if (StringMode == 0) {
    if (mode == ModeEnrollBoth) FireEnrollBothIrisEvent(result);
    if (mode == ModeEnrollLeft) FireEnrollLeftIrisEvent(result);
    if (mode == ModeEnrollRight) FireEnrollRightIrisEvent(result);
    return;
  }
  // A failed both-eye or left-eye enrollment carries empty strings; a failed
  // right-eye one carries whatever the buffers hold.
  const bool ok = result == 1;
  if (mode == ModeEnrollBoth) FireEnrollBothIrisStrEvent(result, ok);
  if (mode == ModeEnrollLeft) FireEnrollLeftIrisStrEvent(result, ok);
  if (mode == ModeEnrollRight) FireEnrollRightIrisStrEvent(result, true);
}

void COcuvantCtrl::OnMatchDone(int32_t result) {
  StartCloseIrisVideo(NextNone);
  device::SendIlluminatorCommand(result > 0 ? device::CmdResultOk : device::CmdResultFail);
  FireMatchIrisEvent(result);
}

void COcuvantCtrl::OnCameraNext(int32_t next) {
  LogIfEnabled("in msg next action", "");
  char line[100];
  switch (next) {
    case NextIris: {
      LogIfEnabled("proc_open_iris开始下一步的虹膜启动", "iris");
      const int32_t r = OpenIrisVideo();
      if (r != 1) {
        std::snprintf(line, sizeof line, "启动虹膜失败:%d", r);
        LogIfEnabled(line, "iris");
      }
      break;
    }
    // Photo and infrared face opens chain here once those cameras are attached.
    default:
      break;
  }
}

}  // namespace ocuvant::control
