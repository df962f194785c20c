// Closing the iris camera: on a thread of its own, with a bounded wait, so that a
// frame still being processed under the capture lock cannot deadlock the caller.
#include <cstdio>

#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"

namespace ocuvant::control {

namespace {
constexpr uint32_t kCloseWaitMs = 1000;
}

int32_t COcuvantCtrl::StartCloseIrisVideo(NextAction next) {
  ++m_closersRunning;
  platform::Thread closer([this, next] {
    CloseIrisVideo(next);
    --m_closersRunning;
  });
  closer.Wait(kCloseWaitMs);
  closer.Detach();
  return 1;
}

void COcuvantCtrl::CloseIrisVideo(NextAction next) {
  m_framesIgnored = true;
  m_sessionMode = ModeIdle;
  if (m_irisHidCtl) {
    device::SendIlluminatorCommand(device::CmdSessionStop);
    device::SendIlluminatorCommand(device::CmdIlluminatorOff);
  }
  char line[64];
  std::snprintf(line, sizeof line, "关闭虹膜视频...,next:%d", static_cast<int>(next));
  LogIfEnabled(line, "video");
  // The main capture session's Close goes here once a capture session is attached.
  m_videoNeedsRun = 1;
  m_irisOpen = false;
  LogIfEnabled("虹膜视频关闭", "video");
  m_irisReadyEvent.Reset();
  if (m_bkRunning) {
    LogIfEnabled("开始关闭后台拍照", "iris");
    m_framesIgnored = true;
    m_bkRunning = false;
    LogIfEnabled("后台拍照关闭", "iris");
  } else {
    LogIfEnabled("无需关闭后台", "iris");
  }
  if (next != NextNone) {
    m_windowHandle.Post(WM_CAMERA_NEXT, static_cast<uintptr_t>(next));
  } else {
    m_windowHandle.Post(WM_CAMERA_CLOSED, kClosedIrisCamera);
  }
}

}  // namespace ocuvant::control
