// Construction and destruction of the control.
#include "control/ocuvant_ctrl.h"

#include <cstdlib>
#include <new>

#include "capture/capture_video.h"
#include "control/log_routing.h"
#include "device/illuminator.h"
#include "platform/paths.h"
#include "session/voice_prompt.h"
#include "support/dump_names.h"

namespace ocuvant::control {

std::atomic<COcuvantCtrl*> g_control{nullptr};

platform::CriticalSection& g_closeLock = *new platform::CriticalSection();

std::unique_ptr<COcuvantCtrl> COcuvantCtrl::Create() {
  return std::unique_ptr<COcuvantCtrl>(new COcuvantCtrl());
}

void* COcuvantCtrl::operator new(size_t size) {
  void* p = std::calloc(1, size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void COcuvantCtrl::operator delete(void* p) noexcept {
  std::free(p);
}

// Members carry their defaults; the KindState records and the frame keep the zeros
// of the storage.
COcuvantCtrl::COcuvantCtrl() {
  g_control.store(this, std::memory_order_release);
  m_moduleDir = platform::ModuleDirectory();
  // The background photos are reported under the name this platform writes them to.
  m_enrollSnapshotPath = platform::MapPath(support::EnrollBackgroundPhotoName(m_moduleDir))
                             .value_or(support::EnrollBackgroundPhotoName(m_moduleDir));
  m_matchSnapshotPath = platform::MapPath(support::MatchBackgroundPhotoName(m_moduleDir))
                            .value_or(support::MatchBackgroundPhotoName(m_moduleDir));
  Burger = session::kDefaultBurger;
  m_cameraParams[0] = session::kDefaultIrisCameraParams;
  m_mainCapture = new capture::CCaptureVideo();
  m_bkCapture = new capture::CCaptureVideo();
  m_ownVoicePlayer = std::make_unique<session::VoicePlayer>();
  m_voicePlayer = m_ownVoicePlayer.get();
  InstallLogRouting();
  m_window =
      std::make_unique<platform::Window>([this](uint32_t msg, uintptr_t wParam, intptr_t lParam) {
        return WindowProc(msg, wParam, lParam);
      });
  m_windowHandle = m_window->Handle();
}

COcuvantCtrl::~COcuvantCtrl() {
  m_shuttingDown = true;  // session threads still waiting for the camera give up
  if (m_irisOpen) StartCloseIrisVideo(NextNone);
  // The face light must not stay on after the control is gone.
  if (m_faceOpen) device::SendIlluminatorCommand(device::CmdFaceLightOff);
  // A worker that outlived its bounded wait still uses the control: the members
  // must outlive it.
  // A workflow may be sending its result meanwhile: keep the window answering (the
  // handler drops everything once shutting down) so the frame can finish.
  while (m_closersRunning.load() > 0) m_window->Pump(2);
  // No frame, snapshot or log line of a camera reaches the control from here on.
  m_framesIgnored = true;
  m_mainCapture->Close();
  m_bkCapture->Close();
  m_window.reset();  // no handler runs on a half-destroyed control
  // Later log lines and frames must not reach a destroyed control.
  COcuvantCtrl* self = this;
  g_control.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
  delete m_mainCapture;
  delete m_bkCapture;
}

}  // namespace ocuvant::control
