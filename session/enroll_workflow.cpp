// Both-eye and single-eye enrollment: one frame of work per call, on the camera's
// streaming thread while an enrollment step is armed.
#include <cstdio>
#include <cstring>

#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"
#include "platform/thread.h"
#include "session/enroll_eye.h"
#include "session/log.h"
#include "session/workflow_dumps.h"
#include "session/workflow_feedback.h"
#include "session/workflows.h"

namespace ocuvant::session {
namespace {

using control::COcuvantCtrl;
using engine::TemplateKind;

constexpr uint32_t kStepPauseMs = 1000;  // between the prompt of step 0 and its report
// Kinds are processed in this order within a frame.
constexpr TemplateKind kProcessOrder[] = {engine::KindQ5, engine::KindBig, engine::KindSmall};
// Failed kinds are reported in this order.
constexpr TemplateKind kReportOrder[] = {engine::KindSmall, engine::KindBig, engine::KindQ5};

bool EyeFailed(int32_t stepResult) {
  return stepResult == kEyeFailed || stepResult == kEyeTimedOut;
}

uint8_t* WorkingCopy(COcuvantCtrl& ctrl, int eye) {
  return ctrl.m_workflow.eyeCopy[eye];
}

// The end of a successful step: at step 1 the enrollment is complete; at step 0 the
// illuminator goes on for step 1 and the person hears that the second step begins.
void FinishStep(COcuvantCtrl& ctrl, bool singleEye) {
  if (ctrl.m_enrollStep.load() != 0) {
    if (!singleEye) LogIfEnabled("开始拍照后台注册照片", "iris");
    RequestBackgroundSnapshot(ctrl, 0, ctrl.m_enrollSnapshotPath);
    PlayMomentPrompt(ctrl, PromptEnrollDone);
    if (singleEye) LogAlways("单眼注册成功", "enroll");
  } else {
    if (ctrl.m_irisHidCtl) device::SendIlluminatorCommand(device::CmdIlluminatorOn);
    PlayMomentPrompt(ctrl, PromptFirstStepDone);
    platform::Sleep(kStepPauseMs);
  }
}

// The end of a both-eye frame: every enabled kind done, or one failed.
void ConcludeBoth(COcuvantCtrl& ctrl, const bool* done, const bool* failed) {
  if (done[0] && done[1] && done[2]) {
    ctrl.m_sessionMode = control::ModeIdle;
    ctrl.m_lastResult = 1;
    FinishStep(ctrl, false);
    SendResult(ctrl, control::WM_ENROLL_BOTH_DONE, 1);
  } else if (failed[0] || failed[1] || failed[2]) {
    ctrl.m_sessionMode = control::ModeIdle;
    ctrl.m_lastResult = -1;
    LogIfEnabled("开始拍照后台注册照片", "iris");
    RequestBackgroundSnapshot(ctrl, 0, ctrl.m_enrollSnapshotPath);
    PlayMomentPrompt(ctrl, PromptEnrollFailed);
    for (TemplateKind kind : kReportOrder) {
      if (!failed[kind]) continue;
      const KindView k = ViewOf(ctrl, kind);
      for (int eye = 0; eye < control::kEyes; ++eye) {
        WriteEnrollDump(ctrl, k, eye, ctrl.m_workflow.irisImage[eye], k.EyeImage(eye));
      }
    }
    SendResult(ctrl, control::WM_ENROLL_BOTH_DONE, -1);
  }
}

// The end of a single-eye frame.
void ConcludeSingle(COcuvantCtrl& ctrl, int eye, uint32_t resultMessage, const bool* done,
                    const bool* failed) {
  if (done[0] && done[1] && done[2]) {
    ctrl.m_lastResult = 1;
    FinishStep(ctrl, true);
    ctrl.m_sessionMode = control::ModeIdle;
    SendResult(ctrl, resultMessage, 1);
  } else if (failed[0] || failed[1] || failed[2]) {
    ctrl.m_sessionMode = control::ModeIdle;
    ctrl.m_lastResult = -1;
    PlayMomentPrompt(ctrl, PromptEnrollFailed);
    char text[96] = "";
    for (TemplateKind kind : kReportOrder) {
      if (!failed[kind]) continue;
      const KindView k = ViewOf(ctrl, kind);
      WriteEnrollDump(ctrl, k, eye, ctrl.m_workflow.irisImage[eye], k.EyeImage(eye));
      std::snprintf(text, sizeof text, "%s %s 单眼注册失败", engine::kKindNames[kind],
                    engine::kEyeNames[eye]);
    }
    LogAlways(text, "enroll");
    SendResult(ctrl, resultMessage, -1);
  }
}

}  // namespace

int32_t EnrollBothFrame(COcuvantCtrl& ctrl, const uint8_t* smallLeft, const uint8_t* smallRight,
                        const uint8_t* q5Left, const uint8_t* q5Right, const uint8_t* bigLeft,
                        const uint8_t* bigRight) {
  const uint8_t* images[engine::kKindCount][control::kEyes] = {
      {smallLeft, smallRight}, {bigLeft, bigRight}, {q5Left, q5Right}};
  bool done[engine::kKindCount] = {true, true, true};  // a disabled kind counts as done
  bool failed[engine::kKindCount] = {false, false, false};

  for (TemplateKind kind : kProcessOrder) {
    if (!KindEnabled(ctrl, kind)) continue;
    const KindView k = ViewOf(ctrl, kind);
    for (int eye = 0; eye < control::kEyes; ++eye) {
      std::memcpy(WorkingCopy(ctrl, eye), images[kind][eye], k.eyeBytes);
    }
    for (int eye = 0; eye < control::kEyes; ++eye) {
      if (k.stepResult[eye] == kEyeDone) continue;
      k.stepResult[eye] =
          ProcessEnrollEye(ctrl, k, eye, WorkingCopy(ctrl, eye), ctrl.m_workflow.irisImage[eye]);
      PublishEnrollProgress(ctrl, k, eye);
    }
    done[kind] = k.stepResult[0] == kEyeDone && k.stepResult[1] == kEyeDone;
    failed[kind] = EyeFailed(k.stepResult[0]) || EyeFailed(k.stepResult[1]);
  }

  ConcludeBoth(ctrl, done, failed);
  return ctrl.m_lastResult;
}

int32_t EnrollSingleFrame(COcuvantCtrl& ctrl, engine::EyeSide eye, uint32_t resultMessage,
                          const uint8_t* smallImage, const uint8_t* q5Image,
                          const uint8_t* bigImage) {
  static constexpr const char* kOkLines[engine::kKindCount] = {"small_ok", "big_ok", "q5 ok"};
  const uint8_t* images[engine::kKindCount] = {smallImage, bigImage, q5Image};
  bool done[engine::kKindCount] = {true, true, true};
  bool failed[engine::kKindCount] = {false, false, false};
  uint8_t* irisOut = ctrl.m_workflow.irisImage[eye];

  for (TemplateKind kind : kProcessOrder) {
    if (!KindEnabled(ctrl, kind)) continue;
    const KindView k = ViewOf(ctrl, kind);
    uint8_t* image = k.EyeImage(eye);  // handed to the engine as it is
    if (images[kind] != nullptr && images[kind] != image) {
      std::memcpy(image, images[kind], k.eyeBytes);
    }
    if (k.stepResult[eye] != kEyeDone) {
      k.stepResult[eye] = ProcessEnrollEye(ctrl, k, eye, image, irisOut);
      if (k.stepResult[eye] == kEyeDone) LogIfEnabled(kOkLines[kind], "enroll single");
      PublishEnrollProgress(ctrl, k, eye);
    }
    done[kind] = k.stepResult[eye] == kEyeDone;
    failed[kind] = EyeFailed(k.stepResult[eye]);
  }

  ConcludeSingle(ctrl, eye, resultMessage, done, failed);
  return ctrl.m_lastResult;
}

int32_t EnrollTimedOut(COcuvantCtrl& ctrl) {
  const int32_t mode = ctrl.m_sessionMode.load();
  uint32_t resultMessage = control::WM_ENROLL_BOTH_DONE;
  int firstEye = 0;
  int lastEye = control::kEyes - 1;
  if (mode == control::ModeEnrollLeft || mode == control::ModeEnrollRight) {
    firstEye = lastEye = mode == control::ModeEnrollLeft ? engine::EyeLeft : engine::EyeRight;
    resultMessage = mode == control::ModeEnrollLeft ? control::WM_ENROLL_LEFT_DONE
                                                    : control::WM_ENROLL_RIGHT_DONE;
  } else if (mode != control::ModeEnrollBoth) {
    return ctrl.m_lastResult;
  }
  bool done[engine::kKindCount] = {true, true, true};
  bool failed[engine::kKindCount] = {false, false, false};
  for (TemplateKind kind : kProcessOrder) {
    if (!KindEnabled(ctrl, kind)) continue;
    const KindView k = ViewOf(ctrl, kind);
    for (int eye = firstEye; eye <= lastEye; ++eye) {
      if (k.stepResult[eye] != kEyeDone) {
        k.stepResult[eye] = kEyeTimedOut;
        PublishEnrollProgress(ctrl, k, eye);
      }
      done[kind] = done[kind] && k.stepResult[eye] == kEyeDone;
      failed[kind] = failed[kind] || EyeFailed(k.stepResult[eye]);
    }
  }
  ctrl.m_sessionMode = control::ModeIdle;
  if (firstEye == lastEye) {
    ConcludeSingle(ctrl, firstEye, resultMessage, done, failed);
  } else {
    ConcludeBoth(ctrl, done, failed);
  }
  return ctrl.m_lastResult;
}

}  // namespace ocuvant::session
