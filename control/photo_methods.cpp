// Portrait photo camera (on m_mainCapture, shared with the iris camera) and the
// background photo camera (on m_bkCapture, beside an iris session).
//
// Photo camera states (flags of the control) and their legal transitions:
//   closed --PhotoOpen ok--> open (m_photoOpen, frames taken)
//   open   --ClosePhotoCapture / InitIris / InitInfraredFace--> closing (m_framesIgnored)
//   closing --close thread done--> closed (then WM_CAMERA_NEXT or WM_CAMERA_CLOSED 1)
// Background camera: inactive --InitBkPhotoCapture ok--> running (m_bkRunning)
//   running --StopBkPhotoCapture--> paused (still m_bkRunning, frames ignored)
//   running/paused --CloseBkPhotoCapture / iris close--> inactive
#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"

namespace ocuvant::control {

namespace {

constexpr uint32_t kCloseWaitMs = 1000;
constexpr uint32_t kPhotoCloseDelayMs = 500;

// Camera kind 1 is the visible-light camera; every other value the infrared one.
int ParamsKind(int32_t cameraKind) {
  return cameraKind == 1 ? 1 : 2;
}

}  // namespace

int32_t COcuvantCtrl::InitPhotoCapture(int32_t CameraKind) {
  const NextAction next = CameraKind == 1 ? NextVisiblePhoto : NextInfraredPhoto;
  ParseSettings();  // result ignored
  if (m_irisOpen) {
    StartCloseIrisVideo(next);
    return 2;
  }
  if (m_faceOpen) {
    StartCloseFace(next);
    return 2;
  }
  return PhotoOpen(CameraKind);
}

int32_t COcuvantCtrl::PhotoOpen(int32_t cameraKind) {
  if (m_photoOpen) {
    LogIfEnabled("拍照已经启动过了", "open");
    return 1;
  }
  const int kind = ParamsKind(cameraKind);
  const std::string fragment = session::TrimBlanks(kind == 1 ? CameraIDVisible : CameraIDInfrared);
  const int32_t device = m_mainCapture->FindDeviceByPath(fragment.c_str());
  if (device < 0) {
    LogIfEnabled("找不到拍照摄像头", "open");
    return device;
  }
  m_mainCapture->SetCameraParams(m_cameraParams[kind]);
  if (m_mainCapture->Open(device, m_window.get(), capture::SnapshotOnly, "PhotoCapture") != 0) {
    return -1;
  }
  const int32_t run = m_mainCapture->Run();
  if (run != 1) return run;
  m_framesIgnored = false;
  m_photoOpen = true;
  return 1;
}

int32_t COcuvantCtrl::PhotoCapture(int32_t /*CaptureKind*/, const std::string& ImageFile) {
  if (!m_photoOpen) return -1;
  m_mainCapture->RequestSnapshot(2, ImageFile);  // always reported as a portrait photo
  return 1;
}

int32_t COcuvantCtrl::ClosePhotoCapture() {
  if (!m_photoOpen) return -1;
  if (m_framesIgnored) {
    LogIfEnabled("已经在关闭", "close");
    return -2;
  }
  platform::Lock lock(g_closeLock);
  return StartClosePhoto(NextNone) ? 1 : -3;
}

bool COcuvantCtrl::StartClosePhoto(NextAction next) {
  // Marked before the thread starts, so that a second close at once sees it.
  m_framesIgnored = true;
  WorkerStarted();
  platform::Thread closer([this, next] {
    ClosePhotoThread(next);
    WorkerFinished();
  });
  if (!closer.Joinable()) {
    WorkerFinished();
    m_framesIgnored = false;  // nothing closes: the photo session stays usable
    return false;
  }
  closer.Wait(kCloseWaitMs);
  closer.Detach();
  return true;
}

void COcuvantCtrl::ClosePhotoThread(NextAction next) {
  m_framesIgnored = true;
  LogIfEnabled("设置为退出", "close");
  platform::Sleep(kPhotoCloseDelayMs);
  m_mainCapture->Close();
  m_photoOpen = false;
  LogIfEnabled("拍照摄像头已经关闭", "close");
  if (next != NextNone) {
    PostControlMessage(WM_CAMERA_NEXT, static_cast<uintptr_t>(next));
  } else {
    PostControlMessage(WM_CAMERA_CLOSED, kClosedPhotoCamera);
  }
}

int32_t COcuvantCtrl::InitBkPhotoCapture(int32_t CameraKind) {
  if (m_bkRunning) return 1;
  const int kind = ParamsKind(CameraKind);
  const std::string fragment = session::TrimBlanks(kind == 1 ? CameraIDVisible : CameraIDInfrared);
  const int32_t device = m_bkCapture->FindDeviceByPath(fragment.c_str());
  if (device < 0) return device;
  m_bkCapture->SetCameraParams(m_cameraParams[kind]);
  const int32_t opened = m_bkCapture->OpenPhotoVideo(device);
  if (opened != 0) return opened;
  if (m_bkCapture->Run() != 1) return -100;
  m_bkRunning = true;
  return 1;
}

int32_t COcuvantCtrl::CloseBkPhotoCapture() {
  WorkerStarted();
  const bool started = platform::StartDetachedThread([this] {
    m_bkCapture->Close();
    m_bkRunning = false;
    WorkerFinished();
  });
  if (!started) WorkerFinished();
  return 1;
}

int32_t COcuvantCtrl::StopBkPhotoCapture() {
  m_bkCapture->Pause();
  LogIfEnabled("后台拍照停止", "iris");
  return 0;
}

}  // namespace ocuvant::control
