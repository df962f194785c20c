// Iris camera methods: InitIris, InitCaptureIris, the session starts' checks and
// CloseIris. Opening a camera goes through m_mainCapture; while the capture layer is
// not attached (null) every camera search reports "no device" (-1).
#include <cstdio>

#include "control/not_wired.h"
#include "control/ocuvant_ctrl.h"
#include "device/illuminator.h"

namespace ocuvant::control {

int32_t COcuvantCtrl::InitIris() {
  if (m_irisOpen) return 1;
  if (ParseSettings() != 1) return -200;
  // An open photo or infrared face camera is closed here with NextIris once those
  // cameras can be opened; until then neither flag is ever set.
  return OpenIrisVideo();
}

int32_t COcuvantCtrl::OpenIrisVideo() {
  m_framesIgnored = false;
  CameraIDIris = session::TrimBlanks(CameraIDIris);
  if (CameraIDIris.empty()) CameraIDIris = m_defaultIrisCameraId;
  // Camera search (FindDeviceByPath on m_mainCapture): with no capture session
  // attached there is no device list, the search's -1.
  LogIfEnabled("找不到摄像头", "init");
  return -1;
}

int32_t COcuvantCtrl::InitCaptureIris() {
  if (m_irisOpen) return -200;
  m_framesIgnored = false;
  m_sessionMode = ModeIdle;
  CameraIDIris = session::TrimBlanks(CameraIDIris);
  if (CameraIDIris.empty()) CameraIDIris = m_defaultIrisCameraId;
  // Camera search as in OpenIrisVideo: no capture session attached, no device list.
  return -1;
}

namespace {

char* KindLabel(char (&field)[10], bool enabled, const char* name) {
  std::snprintf(field, sizeof field, "%s", enabled ? name : "");
  return field;
}

}  // namespace

int32_t COcuvantCtrl::StartEnrollment(SessionMode) {
  if (ParseSettings() != 1) return -200;
  char small[10], big[10], q5[10];
  char line[160];
  std::snprintf(line, sizeof line, "------------------->开始%d(%s%s%s)注册...", m_enrollStep.load(),
                KindLabel(small, m_withSmall, "SMALL"), KindLabel(big, m_withBig, "BIG"),
                KindLabel(q5, m_withQ5, "Q5"));
  LogIfEnabled(line, "enroll");
  if (m_enrollStep == 0 && m_sessionMode != ModeIdle) return -100;
  if (!m_withSmall && !m_withBig && !m_withQ5) return -101;
  return kSessionCannotStart;  // the enrollment workflow is not attached yet
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

int32_t COcuvantCtrl::MatchIris(const int32_t* IrisDatabaseSmall, int32_t IrisDatabaseSmall_Count,
                                const int32_t* IrisDatabaseBig, int32_t IrisDatabaseBig_Count,
                                const int32_t* IrisDatabaseQ5, int32_t IrisDatabaseQ5_Count,
                                int32_t /*Mode*/, int32_t /*Interval*/) {
  if (ParseSettings() != 1) return -200;
  if (m_sessionMode != ModeIdle) return -100;
  if (!m_withSmall && !m_withBig && !m_withQ5) return -101;
  const bool enabled[3] = {m_withSmall, m_withBig, m_withQ5};
  const int32_t* dbs[3] = {IrisDatabaseSmall, IrisDatabaseBig, IrisDatabaseQ5};
  const int32_t counts[3] = {IrisDatabaseSmall_Count, IrisDatabaseBig_Count, IrisDatabaseQ5_Count};
  int64_t total = 0;
  for (int k = 0; k < 3; ++k) {
    m_matchDb[k] = enabled[k] ? dbs[k] : nullptr;
    m_matchDbCount[k] = enabled[k] ? counts[k] : 0;
    total += m_matchDbCount[k];
  }
  if (total <= 0) return -1;
  return kSessionCannotStart;  // the matching workflow is not attached yet
}

int32_t COcuvantCtrl::CloseIris() {
  if (m_framesIgnored) return -2;
  if (m_photoOpen) return -1;
  if (m_faceOpen) return -2;
  platform::Lock lock(CloseLock());
  return StartCloseIrisVideo(NextNone);
}

int32_t COcuvantCtrl::StopIris() {
  return StartCloseIrisVideo(NextNone);
}

int32_t COcuvantCtrl::CheckDevStatus() {
  return device::CheckDevStatus();
}

std::string COcuvantCtrl::EnumCameras(int32_t) {
  return {};
}

}  // namespace ocuvant::control
