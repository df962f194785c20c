// Closing the iris camera: on a thread of its own, with a bounded wait, so that a
// frame still being processed under the capture lock cannot deadlock the caller.
#include <cstdio>
#include <cstring>
#include <utility>

#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"

namespace ocuvant::control {

namespace {
constexpr uint32_t kCloseWaitMs = 1000;
}

int32_t COcuvantCtrl::StartCloseIrisVideo(NextAction next) {
  // Marked before the thread starts, as the close itself does first: a camera loss
  // reported from now on is this close's business (OnCameraLost).
  const bool wasIgnored = m_framesIgnored.exchange(true);
  const bool wasReady = m_irisReadyEvent.IsSet();
  IrisCloseBegins();
  WorkerStarted();
  platform::Thread closer([this, next] {
    CloseIrisVideo(next);
    WorkerFinished();
  });
  if (!closer.Joinable()) {  // no thread: the camera stays open, say so
    WorkerFinished();
    {
      const std::lock_guard<std::mutex> lock(m_irisCloseMutex);
      --m_irisClosing;
    }
    m_framesIgnored = wasIgnored;
    if (wasReady) m_irisReadyEvent.Set();
    return -3;
  }
  closer.Wait(kCloseWaitMs);
  closer.Detach();
  return 1;
}

void COcuvantCtrl::IrisCloseBegins() {
  const std::lock_guard<std::mutex> lock(m_irisCloseMutex);
  ++m_irisClosing;
  // A session started from now on must wait for a camera that is open again, not arm
  // on this one.
  m_irisReadyEvent.Reset();
}

// Runs after IrisCloseBegins (which counted this close).
void COcuvantCtrl::CloseIrisVideo(NextAction next) {
  m_framesIgnored = true;
  // An armed session the close interrupts is over (the host stopped it), and so is an
  // enrollment between its steps: step 1 does not stay half done for the next one, nor
  // run later without the fill light this close switches off.
  if (m_sessionMode.exchange(ModeIdle) != ModeIdle || m_enrollStep.load() == 1) {
    m_enrollStep = 0;
  }
  if (m_irisHidCtl) {
    device::SendIlluminatorCommand(device::CmdSessionStop);
    LogIfEnabled("关闭补光灯", "");
    device::SendIlluminatorCommand(device::CmdIlluminatorOff);
  }
  char line[64];
  std::snprintf(line, sizeof line, "关闭虹膜视频...,next:%d", static_cast<int>(next));
  LogIfEnabled(line, "video");
  m_mainCapture->Close();  // waits for an iris frame in progress
  m_videoNeedsRun = 1;
  m_irisOpen = false;
  LogIfEnabled("虹膜视频关闭", "video");
  m_irisReadyEvent.Reset();
  if (m_bkRunning) {
    LogIfEnabled("开始关闭后台拍照", "iris");
    m_framesIgnored = true;
    m_bkCapture->Close();
    m_bkRunning = false;
    LogIfEnabled("后台拍照关闭", "iris");
  } else {
    LogIfEnabled("无需关闭后台", "iris");
  }
  bool reopen = false;
  {
    const std::lock_guard<std::mutex> lock(m_irisCloseMutex);
    if (--m_irisClosing == 0) reopen = std::exchange(m_irisReopen, false);
  }
  // InitIris during the close made it a close with a next action: the iris camera
  // opens next (the host's latest request, also over a chained photo or face camera),
  // and as with every chained open no CloseCameraEvent is fired.
  if (reopen) next = NextIris;
  if (next != NextNone) {
    m_windowHandle.Post(WM_CAMERA_NEXT, static_cast<uintptr_t>(next));
  } else {
    m_windowHandle.Post(WM_CAMERA_CLOSED, kClosedIrisCamera);
  }
}

// A camera that stopped on its own is closed like its close method would, on a worker
// thread (this runs on the failing camera's streaming thread, which the close stops).
// The host sees the log line of the capture layer and then CloseCameraEvent. An
// armed enrollment or match keeps its camera until it ends at its time-out: the host
// gets the session's result first, and its handler closes the camera. So does an
// enrollment between its steps: step 1 arms on the lost camera and ends at its time-out
// (closing here would end the enrollment with -10 after the close, then close again).
// A camera of the
// main session that is lost while that session is being closed (every close marks
// m_framesIgnored first) is left to that close: a second close would report the
// camera closed twice, or, running late, close the next camera the host opened.
void COcuvantCtrl::OnCameraLost(const char* sessionName) {
  const bool iris =
      std::strcmp(sessionName, "IrisHandle") == 0 || std::strcmp(sessionName, "IrisCapture") == 0;
  const bool photo = std::strcmp(sessionName, "PhotoCapture") == 0;
  const bool background = std::strcmp(sessionName, "PhotoVideo") == 0;
  const bool face = std::strcmp(sessionName, "InfraredFace") == 0;
  if ((iris || photo || face) && m_framesIgnored) return;
  if (iris && !m_irisOpen) return;
  if (iris && (m_sessionMode.load() != ModeIdle || m_enrollStep.load() == 1)) return;
  if (photo && !m_photoOpen) return;
  if (face && !m_faceOpen) return;
  if (!iris && !photo && !background && !face) return;
  WorkerStarted();
  const bool started = platform::StartDetachedThread([this, iris, photo, face] {
    if (iris) {
      IrisCloseBegins();
      CloseIrisVideo(NextNone);
    } else if (photo) {
      ClosePhotoThread(NextNone);
    } else if (face) {
      CloseFaceThread(NextNone);
    } else {
      m_bkCapture->Close();
      m_bkRunning = false;
    }
    WorkerFinished();
  });
  if (!started) WorkerFinished();
}

}  // namespace ocuvant::control
