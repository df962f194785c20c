// The session threads: they wait for the iris camera to be ready, run it, arm the
// frame pipeline with the session's mode and watch the session until it ends. A
// camera that is not ready within 5 s ends the session with -10 (-11 when the wait
// itself failed); one that stops delivering frames ends it at its time-out.
#include <exception>

#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"
#include "platform/message_box.h"
#include "session/session_watchdog.h"
#include "session/workflows.h"
#include "support/image_files.h"

namespace ocuvant::control {

namespace {

constexpr uint32_t kReadyWaitMs = 5000;
constexpr uint32_t kReadySliceMs = 50;  // how often a waiting thread checks for shutdown
constexpr size_t kQ5TemplateBytes = 512;
constexpr uint32_t kWatchSliceMs = 100;  // how often an armed session is checked for frames

uint32_t ResultMessage(SessionMode mode) {
  switch (mode) {
    case ModeEnrollBoth:
      return WM_ENROLL_BOTH_DONE;
    case ModeEnrollLeft:
      return WM_ENROLL_LEFT_DONE;
    case ModeEnrollRight:
      return WM_ENROLL_RIGHT_DONE;
    default:
      return WM_MATCH_DONE;
  }
}

enum class Ready { Yes, TimedOut, Failed };

// Waits for the iris camera at most 5 s; gives up at once when the control goes away.
Ready WaitForIrisCamera(COcuvantCtrl& c) {
  const uint32_t start = platform::GetTickCount();
  try {
    for (;;) {
      if (c.ShuttingDown()) return Ready::Failed;
      const uint32_t waited = platform::TicksSince(start);
      if (waited >= kReadyWaitMs) return Ready::TimedOut;
      const uint32_t slice = std::min(kReadySliceMs, kReadyWaitMs - waited);
      if (c.m_irisReadyEvent.Wait(slice)) return Ready::Yes;
    }
  } catch (const std::exception&) {
    return Ready::Failed;
  }
}

// Shared start of both session threads: false when the session cannot be armed.
bool AwaitCamera(COcuvantCtrl& c, SessionMode mode, const char* tag) {
  c.LogIfEnabled("等待启动消息", tag);
  const Ready ready = WaitForIrisCamera(c);
  if (ready != Ready::Yes) {
    --c.m_sessionsStarting;  // ends without arming
    if (c.ShuttingDown()) return false;
    c.PostControlMessage(ResultMessage(mode),
                         static_cast<uintptr_t>(ready == Ready::TimedOut ? -10 : -11));
    return false;
  }
  c.LogIfEnabled("创建视频成功", tag);
  return true;
}

// Arms the pipeline; returns the session's generation for WatchSession, or 0 when the
// camera began to close after the wait (the session ends with -10 rather than arm on a
// closed camera and wait for its time-out).
uint32_t Arm(COcuvantCtrl& c, SessionMode mode, bool stepOne = false) {
  const std::lock_guard<std::mutex> lock(c.m_irisCloseMutex);
  // Step 1 after a close between the steps (which ended the enrollment and switched
  // the fill light off) does not run on a reopened camera.
  const bool enrollmentOver = stepOne && c.m_enrollStep.load() != 1;
  if (c.m_irisClosing > 0 || !c.m_irisOpen || enrollmentOver) {
    --c.m_sessionsStarting;
    c.PostControlMessage(ResultMessage(mode), static_cast<uintptr_t>(-10));
    return 0;
  }
  uint32_t generation = ++c.m_sessionGeneration;
  if (generation == 0) generation = ++c.m_sessionGeneration;  // 0 means "not armed"
  c.m_sessionStartTick = platform::GetTickCount();
  c.m_sessionMode = mode;
  c.m_framesIgnored = false;
  --c.m_sessionsStarting;  // armed: the mode keeps other starts out from now on
  return generation;
}

// Stays with the armed session until it ends, another one is armed or the control
// goes away, and ends it at its time-out when no frame does.
void WatchSession(COcuvantCtrl& c, uint32_t generation) {
  if (generation == 0) return;
  while (!c.ShuttingDown() && c.m_sessionGeneration.load() == generation &&
         c.m_sessionMode.load() != ModeIdle) {
    platform::Sleep(kWatchSliceMs);
    if (c.ShuttingDown() || c.m_sessionGeneration.load() != generation) return;
    if (session::EndStalledSession(c)) return;
  }
}

}  // namespace

void COcuvantCtrl::EnrollThread(SessionMode mode, bool stepOne) {
  if (!AwaitCamera(*this, mode, "enroll")) return;
  if (RunIrisVideo() != 1) {
    --m_sessionsStarting;
    m_enrollStep = 0;  // no event follows: the enrollment is over, also in step 1
    platform::ShowMessageBox("PlayVideo failed.");
    return;
  }
  WatchSession(*this, Arm(*this, mode, stepOne));
}

void COcuvantCtrl::MatchThread() {
  if (!AwaitCamera(*this, ModeMatch, "match")) return;
  if (RunIrisVideo() != 1) {
    --m_sessionsStarting;
    LogIfEnabled("启动虹膜视频失败", "match");
    return;
  }
  if (m_bkRunning) {
    if (m_bkCapture->Run() != 1) LogIfEnabled("启动后台拍照失败", "match");
  } else {
    LogIfEnabled("没有后台拍照", "match");
  }
  WatchSession(*this, Arm(*this, ModeMatch));
}

int32_t COcuvantCtrl::MatchIris(const int32_t* IrisDatabaseSmall, int32_t IrisDatabaseSmall_Count,
                                const int32_t* IrisDatabaseBig, int32_t IrisDatabaseBig_Count,
                                const int32_t* IrisDatabaseQ5, int32_t IrisDatabaseQ5_Count,
                                int32_t /*Mode*/, int32_t /*Interval*/) {
  if (ParseSettings() != 1) return -200;
  // The databases are stored and the session's buffers reset between frames (see
  // StartEnrollment).
  if (!EnterBetweenFrames()) return -100;
  int64_t total = 0;
  {
    const FrameLockHold hold(m_mainCapture->FrameLock(), true);
    if (SessionBusy()) return -100;
    if (!m_withSmall && !m_withBig && !m_withQ5) return -101;
    const bool enabled[3] = {m_withSmall, m_withBig, m_withQ5};
    const int32_t* dbs[3] = {IrisDatabaseSmall, IrisDatabaseBig, IrisDatabaseQ5};
    const int32_t counts[3] = {IrisDatabaseSmall_Count, IrisDatabaseBig_Count,
                               IrisDatabaseQ5_Count};
    for (int k = 0; k < 3; ++k) {
      m_matchDb[k] = enabled[k] ? dbs[k] : nullptr;
      m_matchDbCount[k] = enabled[k] ? counts[k] : 0;
      total += m_matchDbCount[k];
      // A null database with templates to read is refused before anything is armed.
      if (m_matchDb[k] == nullptr && m_matchDbCount[k] > 0) return -1;
    }
    if (total > 0) {
      device::SendIlluminatorCommand(device::CmdSessionStart);
      session::ResetSession(*this);
    }
  }
  // The Q5 database is also left on disk for the field engineers (outside the frame
  // lock: a failed write may show a message box). A count of 0 writes an empty file,
  // so that no earlier call's database stays there as if it were this one; only a
  // negative count writes nothing (a null database with templates was refused above).
  if (m_withQ5 && IrisDatabaseQ5_Count >= 0) {
    support::WriteRawFile(IrisDatabaseQ5, size_t(IrisDatabaseQ5_Count) * kQ5TemplateBytes,
                          "d:\\q5_match.iris");
  }
  if (total <= 0) return -1;
  if (m_withBkCapture) {
    LogIfEnabled("启动后台拍照视频...", "video");
    InitBkPhotoCapture(m_bkCaptureCamera);  // result not checked
  }
  ++m_sessionsStarting;
  WorkerStarted();
  if (!platform::StartDetachedThread([this] {
        MatchThread();
        WorkerFinished();
      })) {
    WorkerFinished();
    --m_sessionsStarting;
    PostControlMessage(WM_MATCH_DONE, static_cast<uintptr_t>(-11));
  }
  return 1;
}

}  // namespace ocuvant::control
