// Iris camera methods: InitIris, OpenIrisVideo, InitCaptureIris, RunIrisVideo, the
// enrollment start, CloseIris and StopIris. The camera opens on the host's thread; a
// session thread arms it once it is ready (iris_sessions.cpp).
#include <cstdio>

#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"
#include "engine/common/engine_ops.h"
#include "session/match_pool.h"
#include "session/workflows.h"

namespace ocuvant::control {

namespace {

// The search fragment of the iris camera: the property, trimmed, or the default.
const char* IrisFragment(COcuvantCtrl& c) {
  c.CameraIDIris = session::TrimBlanks(c.CameraIDIris);
  if (c.CameraIDIris.empty()) c.CameraIDIris = c.m_defaultIrisCameraId;
  return c.CameraIDIris.c_str();
}

void InitEngines(const COcuvantCtrl& c) {
  constexpr engine::TemplateKind kInitOrder[] = {engine::KindQ5, engine::KindBig,
                                                 engine::KindSmall};
  constexpr engine::TemplateKind kQualityOrder[] = {engine::KindQ5, engine::KindSmall,
                                                    engine::KindBig};
  for (auto kind : kInitOrder) engine::Engine(kind).InitEngine();
  session::StartMatchPool();  // once per process; large databases use every core
  for (auto kind : kQualityOrder) {
    int32_t e[5], m[5];
    session::QualityForEngine(c.m_enrollQuality, kind, e);
    session::QualityForEngine(c.m_matchQuality, kind, m);
    const engine::EngineOps& ops = engine::Engine(kind);
    ops.SetEnrollQuality(e[0], e[1], e[2], e[3], e[4]);
    ops.SetMatchQuality(m[0], m[1], m[2], m[3], m[4]);
  }
}

constexpr uint32_t kBetweenFramesWaitMs = 500;

char* KindLabel(char (&field)[10], bool enabled, const char* name) {
  std::snprintf(field, sizeof field, "%s", enabled ? name : "");
  return field;
}

}  // namespace

int32_t COcuvantCtrl::InitIris() {
  // A camera that is being closed is not open: the close chains the iris camera as its
  // next action (WM_CAMERA_NEXT with NextIris instead of CloseCameraEvent).
  if (IrisClosing()) {
    if (ParseSettings() != 1) return -200;
    const std::lock_guard<std::mutex> lock(m_irisCloseMutex);
    if (m_irisClosing > 0) {
      m_irisReopen = true;
      return 1;
    }
  }
  if (m_irisOpen) return 1;
  if (ParseSettings() != 1) return -200;
  if (m_photoOpen) {
    LogIfEnabled("开始关闭拍照并启动虹膜>...", "enroll");
    return StartClosePhoto(NextIris) ? 1 : -3;
  }
  if (m_faceOpen) {
    StartCloseFace(NextIris);
    return 1;
  }
  return OpenIrisVideo();
}

int32_t COcuvantCtrl::OpenIrisVideo() {
  m_framesIgnored = false;
  const int32_t device = m_mainCapture->FindDeviceByPath(IrisFragment(*this));
  if (device < 0) {
    LogIfEnabled("找不到摄像头", "init");
    return device;
  }
  InitEngines(*this);
  m_mainCapture->SetCameraParams(m_cameraParams[0]);
  if (m_mainCapture->Open(device, m_window.get(), capture::IrisFrames, "IrisHandle") != 0) {
    return -1;
  }
  m_irisOpen = true;
  if (m_withBkCapture) {
    LogIfEnabled("启动后台拍照视频...", "video");
    InitBkPhotoCapture(m_bkCaptureCamera);  // a missing background camera is not fatal
    LogIfEnabled("启动后台拍照视频 ok", "video");
  } else {
    LogIfEnabled("无后台拍照", "video");
  }
  m_irisReadyEvent.Set();
  return 1;
}

int32_t COcuvantCtrl::InitCaptureIris() {
  if (m_irisOpen) return -200;
  m_framesIgnored = false;
  m_sessionMode = ModeIdle;
  const int32_t device = m_mainCapture->FindDeviceByPath(IrisFragment(*this));
  if (device < 0) return device;
  ParseSettings();  // result ignored
  m_mainCapture->SetOwnerWindow(m_window.get());
  if (m_mainCapture->Open(device, m_window.get(), capture::SnapshotOnly, "IrisCapture") != 0) {
    return -1;
  }
  const int32_t run = RunIrisVideo();
  if (run != 1) return run;
  m_irisOpen = true;
  return 1;
}

int32_t COcuvantCtrl::RunIrisVideo() {
  m_mainCapture->SetOwnerWindow(m_window.get());
  if (m_videoNeedsRun == 1) {
    if (m_mainCapture->Run() != 1) return -100;
    m_videoNeedsRun = 0;
  }
  return 1;
}

bool COcuvantCtrl::EnterBetweenFrames() {
  platform::CriticalSection& frame = m_mainCapture->FrameLock();
  const uint32_t start = platform::GetTickCount();
  while (!frame.TryEnter()) {
    if (platform::TicksSince(start) >= kBetweenFramesWaitMs) return false;
    platform::Sleep(1);
  }
  return true;
}

int32_t COcuvantCtrl::StartEnrollment(SessionMode mode, bool nextStep) {
  if (ParseSettings() != 1) return -200;
  char small[10], big[10], q5[10];
  char line[160];
  // An enrollment the host starts always begins at step 0; only the result handler of
  // step 0 starts step 1 (a step left over from a failed enrollment is not resumed).
  std::snprintf(line, sizeof line, "------------------->开始%d(%s%s%s)注册...",
                nextStep ? m_enrollStep.load() : 0, KindLabel(small, m_withSmall, "SMALL"),
                KindLabel(big, m_withBig, "BIG"), KindLabel(q5, m_withQ5, "Q5"));
  LogIfEnabled(line, "enroll");
  // The session's buffers are reset between frames: a frame still in progress (the
  // end of the previous session, or one a close interrupted) may be using them.
  // Step 1 is started while the camera thread waits for this handler: no frame runs.
  if (!nextStep && !EnterBetweenFrames()) return -100;
  const FrameLockHold hold(m_mainCapture->FrameLock(), !nextStep);
  if (!nextStep && SessionBusy()) return -100;
  if (!m_withSmall && !m_withBig && !m_withQ5) return -101;
  device::SendIlluminatorCommand(device::CmdSessionStart);
  if (nextStep) {
    LogIfEnabled("清除第0步缓存", "enroll");
    session::ResetStep(*this);
  } else {
    session::ResetSession(*this);
  }
  ++m_sessionsStarting;
  WorkerStarted();
  if (!platform::StartDetachedThread([this, mode, nextStep] {
        EnrollThread(mode, nextStep);
        WorkerFinished();
      })) {
    // No thread, no session: the host hears it as a failed wait.
    WorkerFinished();
    --m_sessionsStarting;
    PostControlMessage(mode == ModeEnrollBoth   ? WM_ENROLL_BOTH_DONE
                       : mode == ModeEnrollLeft ? WM_ENROLL_LEFT_DONE
                                                : WM_ENROLL_RIGHT_DONE,
                       static_cast<uintptr_t>(-11));
  }
  return 1;
}

int32_t COcuvantCtrl::EnrollBothIris() {
  return StartEnrollment(ModeEnrollBoth);
}
int32_t COcuvantCtrl::EnrollLeftIris() {
  return StartEnrollment(ModeEnrollLeft);
}
int32_t COcuvantCtrl::EnrollRightIris() {
  return StartEnrollment(ModeEnrollRight);
}

// The host's latest request wins: an InitIris made during a close (which marked the
// camera to open once the close is done) is taken back by a StopIris or CloseIris.
void COcuvantCtrl::CancelIrisReopen() {
  const std::lock_guard<std::mutex> lock(m_irisCloseMutex);
  m_irisReopen = false;
}

int32_t COcuvantCtrl::CloseIris() {
  CancelIrisReopen();
  if (m_framesIgnored) return -2;
  if (m_photoOpen) return -1;
  if (m_faceOpen) return -2;
  platform::Lock lock(g_closeLock);
  return StartCloseIrisVideo(NextNone);  // -3 when the close could not start
}

int32_t COcuvantCtrl::StopIris() {
  CancelIrisReopen();
  return StartCloseIrisVideo(NextNone);
}

std::string COcuvantCtrl::EnumCameras(int32_t Format) {
  std::string text;
  m_mainCapture->EnumDevices(&text, Format == 0);
  return text;
}

int32_t COcuvantCtrl::CheckDevStatus() {
  return device::CheckDevStatus();
}

}  // namespace ocuvant::control
