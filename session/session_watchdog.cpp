#include "session/session_watchdog.h"

#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "platform/thread.h"
#include "session/log.h"
#include "session/workflow_feedback.h"
#include "session/workflows.h"

namespace ocuvant::session {

bool EndStalledSession(control::COcuvantCtrl& ctrl) {
  platform::Lock frame(ctrl.m_mainCapture->FrameLock());
  const int32_t mode = ctrl.m_sessionMode.load();
  if (mode == control::ModeIdle) return false;
  const bool match = mode == control::ModeMatch;
  const int32_t seconds = match ? ctrl.MatchIrisTimeout : ctrl.EnrollIrisTimeout;
  // 64-bit: a large time-out must not wrap into a small limit.
  const int64_t limit = int64_t{seconds} * 1000 + kStallGraceMs;
  if (int64_t{SessionElapsedMs(ctrl)} <= limit) return false;
  LogAlways("虹膜视频无帧,按超时结束", match ? "match" : "enroll");
  if (match) {
    MatchTimedOut(ctrl);
  } else {
    EnrollTimedOut(ctrl);
  }
  return true;
}

}  // namespace ocuvant::session
