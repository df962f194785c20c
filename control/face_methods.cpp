// Infrared face enrollment methods: the face library load, the infrared camera's open
// on the main capture session (chained after an iris or photo camera's close), the
// start of collecting, and the camera's close on a thread of its own.
#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"

namespace ocuvant::control {

int32_t COcuvantCtrl::InitInfraredFace() {
  if (m_faceOpen) return 1;
  ParseSettings();  // result ignored
  const int32_t loaded = m_face.LoadLibrary(m_moduleDir);
  if (loaded != 1) return loaded;
  if (m_irisOpen) {
    StartCloseIrisVideo(NextInfraredFace);
    return -1;
  }
  if (m_photoOpen) {
    StartClosePhoto(NextInfraredFace);
    return -1;
  }
  OpenInfraredFace();  // its result is not reported: the host learns it from Enroll
  return -1;
}

int32_t COcuvantCtrl::OpenInfraredFace() {
  m_framesIgnored = false;
  CameraIDInfrared = session::TrimBlanks(CameraIDInfrared);
  if (CameraIDInfrared.empty()) return -2;
  const int32_t device = m_mainCapture->FindDeviceByPath(CameraIDInfrared.c_str());
  if (device < 0) return device;
  m_mainCapture->SetCameraParams(m_cameraParams[2]);
  if (m_mainCapture->Open(device, m_window.get(), capture::FaceFrames, "InfraredFace") != 0) {
    return -1;
  }
  m_faceOpen = true;
  return 1;
}

int32_t COcuvantCtrl::EnrollInfraredFace() {
  // Without the infrared camera the main session holds no camera or another one:
  // running it would start that camera, not a face session.
  if (!m_faceOpen) {
    LogIfEnabled("启动人脸视频失败", "face");
    return -100;
  }
  m_face.Start(platform::GetTickCount());
  device::SendIlluminatorCommand(device::CmdFaceLightOn);
  const int32_t run = RunIrisVideo();
  if (run != 1) {
    LogIfEnabled("启动人脸视频失败", "face");
    return run;
  }
  m_framesIgnored = false;
  return 1;
}

int32_t COcuvantCtrl::CloseInfraredFace() {
  // The main session serves one camera at a time: an iris or photo camera on it is
  // not the face camera's to close.
  if (!m_faceOpen && (m_irisOpen || m_photoOpen)) return 1;
  StartCloseFace(NextNone);
  return 1;
}

void COcuvantCtrl::StartCloseFace(NextAction next) {
  WorkerStarted();
  if (!platform::StartDetachedThread([this, next] {
        CloseFaceThread(next);
        WorkerFinished();
      })) {
    WorkerFinished();  // no thread: the camera stays open, as after a failed close
  }
}

void COcuvantCtrl::CloseFaceThread(NextAction next) {
  m_framesIgnored = true;
  device::SendIlluminatorCommand(device::CmdFaceLightOff);
  LogIfEnabled("关闭红外人脸视频...", "face");
  m_mainCapture->Close();
  m_face.Stop();
  m_videoNeedsRun = 1;
  m_faceOpen = false;
  LogIfEnabled("红外人脸视频关闭", "face");
  if (next != NextNone) {
    m_windowHandle.Post(WM_CAMERA_NEXT, static_cast<uintptr_t>(next));
  } else {
    m_windowHandle.Post(WM_CAMERA_CLOSED, kClosedFaceCamera);
  }
}

}  // namespace ocuvant::control
