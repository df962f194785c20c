#include "session/workflow_feedback.h"

#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "platform/thread.h"
#include "session/rejection_feedback.h"

namespace ocuvant::session {

VoicePlayer& PlayerOf(control::COcuvantCtrl& ctrl) {
  if (ctrl.m_voicePlayer != nullptr) return *ctrl.m_voicePlayer;
  static VoicePlayer silent(platform::CreateNullSoundSink());
  return silent;
}

void PlayMomentPrompt(control::COcuvantCtrl& ctrl, VoicePrompt prompt) {
  PlayerOf(ctrl).PlayWorkflowPrompt(prompt, ctrl.EnableVoice);
}

void RejectImage(control::COcuvantCtrl& ctrl, int32_t code) {
  RejectionFeedback(code, ctrl.m_rejectCount, PlayerOf(ctrl));
}

void RequestBackgroundSnapshot(control::COcuvantCtrl& ctrl, int32_t captureKind,
                               const std::string& path) {
  // Only a background camera that runs now takes the photo: a paused or closed one
  // would answer in a later session, with whoever stands there then.
  if (ctrl.m_bkCapture != nullptr && ctrl.m_bkRunning) {
    ctrl.m_bkCapture->RequestSnapshotWhileStreaming(captureKind, path);
  }
}

void SendResult(control::COcuvantCtrl& ctrl, uint32_t message, int32_t result) {
  ctrl.SendControlMessage(message, static_cast<uintptr_t>(static_cast<intptr_t>(result)));
}

uint32_t SessionElapsedMs(const control::COcuvantCtrl& ctrl) {
  return platform::TicksSince(ctrl.m_sessionStartTick.load());
}

bool TimeLimitPassed(const control::COcuvantCtrl& ctrl, int32_t seconds) {
  // 64-bit: a large time-out must not wrap into a small or negative limit.
  const int64_t limit = int64_t{seconds} * 1000;
  return int64_t{SessionElapsedMs(ctrl)} > limit;
}

}  // namespace ocuvant::session
