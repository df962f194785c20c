// The control's window: handlers of the private messages, on the host's thread.
#include <cstdio>

#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"

namespace ocuvant::control {

intptr_t COcuvantCtrl::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t) {
  const auto value = static_cast<int32_t>(static_cast<intptr_t>(wParam));
  if (ShuttingDown()) return 0;  // the control is going away: no more events
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
  // A close that began in the pause after step 0 (its frame still holds the camera, so
  // the close is at work now) ended the enrollment: step 1 must not wait for the next
  // camera and run there on this person's step-0 templates. It ends as a step 1 that
  // found no camera, and the close at work is its close.
  const bool closedBetweenSteps =
      result == 1 && m_enrollStep == 0 && (IrisClosing() || !m_irisOpen.load());
  if (closedBetweenSteps) {
    result = -10;
  } else if (result == 1 && m_enrollStep == 0) {
    m_enrollStep = 1;  // step 1 starts on the open camera
    const int32_t started = StartEnrollment(mode, true);
    if (started == 1) return;
    // Step 1 could not start (the configuration changed during step 0): the
    // enrollment ends here with that code, and its camera and light go off.
    result = started;
  }
  m_enrollStep = 0;  // the enrollment is over, whatever its result
  if (!closedBetweenSteps) StartCloseIrisVideo(NextNone);
  device::SendIlluminatorCommand(result == 1 ? device::CmdResultOk : device::CmdResultFail);
  DeliverEnrollResult(mode, result);
}

namespace {
// What an event of a session that never ran carries: its buffers may already hold
// another session's templates.
constexpr int32_t kNoTemplates[kTemplateAreaBytes / 4] = {};
}  // namespace

void COcuvantCtrl::DeliverEnrollResult(SessionMode mode, int32_t result) {
  // -10 and -11: the camera was never ready or the session could not start.
  const bool neverRan = result == -10 || result == -11;
  if (neverRan) {
    if (StringMode != 0) {
      if (mode == ModeEnrollBoth) FireEnrollBothIrisStrEvent(result, false);
      if (mode == ModeEnrollLeft) FireEnrollLeftIrisStrEvent(result, false);
      if (mode == ModeEnrollRight) FireEnrollRightIrisStrEvent(result, false);
    } else if (EventSink* s = m_eventSink.load(std::memory_order_acquire)) {
      const int32_t* z = kNoTemplates;
      if (mode == ModeEnrollBoth) s->EnrollBothIrisEvent(z, z, z, z, z, z, result);
      if (mode == ModeEnrollLeft) s->EnrollLeftIrisEvent(z, z, z, result);
      if (mode == ModeEnrollRight) s->EnrollRightIrisEvent(z, z, z, result);
    }
    return;
  }
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
    case NextVisiblePhoto:
    case NextInfraredPhoto: {
      const bool visible = next == NextVisiblePhoto;
      LogIfEnabled(visible ? "开始下一步的可见光拍照启动" : "开始下一步的红外拍照启动", "iris");
      const int32_t r = PhotoOpen(visible ? 1 : 2);
      if (r != 1) {
        std::snprintf(line, sizeof line, visible ? "启动可见光拍照失败:%d" : "启动红外拍照失败:%d",
                      r);
        LogIfEnabled(line, "iris");
      }
      break;
    }
    case NextIris: {
      LogIfEnabled("proc_open_iris开始下一步的虹膜启动", "iris");
      if (m_irisOpen) break;  // opened meanwhile: a second open would reset its engines
      const int32_t r = OpenIrisVideo();
      if (r != 1) {
        std::snprintf(line, sizeof line, "启动虹膜失败:%d", r);
        LogIfEnabled(line, "iris");
      }
      break;
    }
    case NextInfraredFace:
      OpenInfraredFace();  // a failed open shows when the face enrollment cannot start
      break;
    default:
      break;
  }
}

}  // namespace ocuvant::control
