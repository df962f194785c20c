// COcuvantCtrl: the control object. It owns every buffer of the capture sessions
// and workflows (about 31 MiB, allocated once with the object: create it with
// COcuvantCtrl::Create), the configuration and the dispatch surface (methods and
// properties below, listed with their DISPIDs in dispatch_table.h).
//
// Threads: create the control, call its methods and run its message loop on one
// thread (the host's thread). Events fire from that loop; LogInfo and
// PhotoCaptureEvent may also fire on other threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "control/events.h"
#include "control/kind_state.h"
#include "control/object_safety.h"
#include "control/session_types.h"
#include "control/workflow_buffers.h"
#include "platform/thread.h"
#include "platform/window.h"
#include "session/face_workflow.h"
#include "session/settings.h"
#include "session/settings_quality.h"

namespace ocuvant::capture {
class CCaptureVideo;
}
namespace ocuvant::session {
class VoicePlayer;
}

namespace ocuvant::control {

class COcuvantCtrl;

// The most recently constructed control (how worker threads, the frame callback and
// the log helpers reach it). Cleared when that control is destroyed (an older control
// going away leaves a newer one in place).
extern std::atomic<COcuvantCtrl*> g_control;

// Serialises CloseIris and ClosePhotoCapture. Never destroyed: a close thread still at
// work when the process exits may hold it.
extern platform::CriticalSection& g_closeLock;

class COcuvantCtrl {
 public:
  static constexpr size_t kFrameWidth = 1920;
  static constexpr size_t kFrameHeight = 1080;
  static constexpr const char* kDefaultIrisCameraId = "\\usb#vid_0c45&pid_6366";
  static constexpr const char* kDefaultVisibleCameraId = "usb#vid_05e3&pid_f11d";
  static constexpr const char* kDefaultInfraredCameraId = "usb#vid_05e3&pid_f11c";

  // The one way to make a control: on the host's thread, on the heap.
  static std::unique_ptr<COcuvantCtrl> Create();
  ~COcuvantCtrl();
  // Zeroed storage: the KindState records and the frame start at zero without
  // touching every page (about 31 MiB) at construction.
  static void* operator new(size_t size);
  static void operator delete(void* p) noexcept;
  COcuvantCtrl(const COcuvantCtrl&) = delete;
  COcuvantCtrl& operator=(const COcuvantCtrl&) = delete;

  // ---- Dispatch methods (_DOcuvant) ----
  std::string EnumCameras(int32_t Format);
  int32_t InitIris();
  int32_t EnrollBothIris();
  int32_t StopIris();
  int32_t CloseIris();
  int32_t CaptureIrisImage(const std::string& sImageFile);
  int32_t InitCaptureIris();
  int32_t CheckDevStatus();
  std::string GetEnrollIrisQuality();
  int32_t EnrollLeftIris();
  int32_t EnrollRightIris();
  int32_t MatchIris(const int32_t* IrisDatabaseSmall, int32_t IrisDatabaseSmall_Count,
                    const int32_t* IrisDatabaseBig, int32_t IrisDatabaseBig_Count,
                    const int32_t* IrisDatabaseQ5, int32_t IrisDatabaseQ5_Count, int32_t Mode,
                    int32_t Interval);
  int32_t InitBkPhotoCapture(int32_t CameraKind);
  int32_t CloseBkPhotoCapture();
  int32_t StopBkPhotoCapture();
  std::string GetMatchIrisQuality();
  int32_t SetEnrollIrisQuality(int32_t IrisKind, int32_t Texture, int32_t VisualDegree,
                               int32_t Gaze, int32_t Focus, int32_t Movement);
  int32_t SetMatchIrisQuality(int32_t IrisKind, int32_t Texture, int32_t VisualDegree, int32_t Gaze,
                              int32_t Focus, int32_t Movement);
  int32_t InitPhotoCapture(int32_t CameraKind);
  int32_t PhotoCapture(int32_t CaptureKind, const std::string& ImageFile);
  int32_t ClosePhotoCapture();
  int32_t InitInfraredFace();
  int32_t EnrollInfraredFace();
  int32_t CloseInfraredFace();
  int32_t SetCameraParams(int32_t CameraKind, const std::string& CameraParams);
  std::string GetVersion();
  void AboutBox();

  // ---- Properties (a change marks the control modified; read when next used) ----
  int32_t GetStringMode() const { return StringMode; }
  void SetStringMode(int32_t v);
  std::string GetCameraIDIris() const { return CameraIDIris; }
  void SetCameraIDIris(const std::string& v);
  int32_t GetEnableVoice() const { return EnableVoice; }
  void SetEnableVoice(int32_t v);
  int32_t GetEnrollIrisTimeout() const { return EnrollIrisTimeout; }
  void SetEnrollIrisTimeout(int32_t v);
  int32_t GetMatchIrisTimeout() const { return MatchIrisTimeout; }
  void SetMatchIrisTimeout(int32_t v);
  std::string GetCameraIDVisible() const { return CameraIDVisible; }
  void SetCameraIDVisible(const std::string& v);
  std::string GetCameraIDInfrared() const { return CameraIDInfrared; }
  void SetCameraIDInfrared(const std::string& v);
  std::string GetBurger() const { return Burger; }
  void SetBurger(const std::string& v);

  // ---- Host side ----
  // Installs the event sink (not owned; nullptr: events are dropped). Call it on
  // the host's thread while no session runs.
  void SetEventSink(EventSink* sink) { m_eventSink.store(sink, std::memory_order_release); }
  IObjectSafety& ObjectSafetyPart() { return m_xObjectSafety; }
  platform::Window& ControlWindow() { return *m_window; }
  bool IsModified() const { return m_modified; }
  void SetModifiedFlag(bool modified = true) { m_modified = modified; }

  // ---- Inside the control ----
  int32_t ParseSettings();
  // Fires LogInfo for an ordinary line when "log" is 1, for a result line always.
  // An ordinary line with logging off builds nothing.
  void LogIfEnabled(std::string_view text, std::string_view tag);
  void LogAlways(std::string_view text, std::string_view tag);

  void FireLogInfo(const std::string& tag, const std::string& log);
  void FireEnrollBothIrisEvent(int32_t result);
  void FireEnrollLeftIrisEvent(int32_t result);
  void FireEnrollRightIrisEvent(int32_t result);
  void FireEnrollBothIrisStrEvent(int32_t result, bool withTemplates);
  void FireEnrollLeftIrisStrEvent(int32_t result, bool withTemplates);
  void FireEnrollRightIrisStrEvent(int32_t result, bool withTemplates);
  void FireMatchIrisEvent(int32_t result);
  void FirePhotoCaptureEvent(int32_t captureKind, const std::string& imageFile);
  void FireCloseCameraEvent(int32_t cameraKind, int32_t closeResult);

  // Private messages to the control's window from any thread: Send waits until the
  // handler has run (returns 0 at once once the window is gone), Post queues.
  intptr_t SendControlMessage(uint32_t msg, uintptr_t wParam) const {
    return m_windowHandle.Send(msg, wParam);
  }
  bool PostControlMessage(uint32_t msg, uintptr_t wParam) const {
    return m_windowHandle.Post(msg, wParam);
  }
  // Gives the control's window to the main capture session and runs the camera the
  // first time a session starts on it: 1, or -100 when the camera would not run.
  int32_t RunIrisVideo();
  // Session worker threads (enrollment, matching, closes) register here so the
  // control outlives them; ShuttingDown tells a waiting session thread to give up.
  void WorkerStarted() { ++m_closersRunning; }
  void WorkerFinished() { --m_closersRunning; }
  bool ShuttingDown() const { return m_shuttingDown.load(std::memory_order_acquire); }
  // A camera of a running session stopped delivering (unplugged, I/O error): closes
  // that camera as its close method would (streaming thread).
  void OnCameraLost(const char* sessionName);
  // An iris close is at work (the camera is neither open nor closed).
  bool IrisClosing() {
    const std::lock_guard<std::mutex> lock(m_irisCloseMutex);
    return m_irisClosing > 0;
  }

  // Handler of the control's window (the six private messages).
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  // ---- State (declared order of the data model) ----
  ObjectSafety m_xObjectSafety;
  std::string m_cameraParams[3];  // camera kind 0 iris, 1 visible-light, 2 infrared
  std::atomic<int32_t> m_logEnabled{0};
  std::atomic<int32_t> m_saveRaw{0};
  std::atomic<bool> m_irisHidCtl{true};
  std::string m_enrollSnapshotPath;
  std::string m_matchSnapshotPath;
  std::atomic<bool> m_withQ5{false};
  std::atomic<bool> m_withBig{false};
  std::atomic<bool> m_withSmall{false};
  session::QualitySet m_enrollQuality = session::kDefaultEnrollQuality;
  session::QualitySet m_matchQuality = session::kDefaultMatchQuality;
  std::atomic<bool> m_fillLightOn{false};
  std::atomic<int32_t> m_enrollStep{0};
  int32_t m_frameCount = 0;
  session::FaceWorkflow m_face;  // face library binding and infrared face session
  // Camera sessions, owned by the control (created with it, never null).
  capture::CCaptureVideo* m_mainCapture = nullptr;
  capture::CCaptureVideo* m_bkCapture = nullptr;
  platform::ManualResetEvent m_irisReadyEvent{false};
  std::atomic<bool> m_irisOpen{false};
  // Iris closes still at work, and whether the host asked for the iris camera during
  // one (it opens once the last of them is done); both under m_irisCloseMutex.
  int32_t m_irisClosing = 0;
  bool m_irisReopen = false;
  std::mutex m_irisCloseMutex;
  std::atomic<bool> m_bkRunning{false};
  std::atomic<bool> m_photoOpen{false};
  std::atomic<bool> m_faceOpen{false};
  std::atomic<bool> m_withBkCapture{false};
  std::atomic<int32_t> m_bkCaptureCamera{1};
  session::SettingsStore m_settings;
  std::string m_moduleDir;
  std::string m_defaultIrisCameraId = kDefaultIrisCameraId;
  std::atomic<bool> m_framesIgnored{true};
  std::atomic<uint32_t> m_sessionStartTick{0};
  SmallKindState m_small;
  Q5KindState m_q5;
  BigKindState m_big;
  std::atomic<int32_t> m_videoNeedsRun{1};
  std::atomic<int32_t> m_sessionMode{ModeIdle};
  std::atomic<uint32_t> m_sessionGeneration{0};  // one more per armed session or step
  std::atomic<int32_t> m_lastResult{0};
  // Session threads started and not yet armed or ended (waiting for the camera).
  std::atomic<int32_t> m_sessionsStarting{0};
  // Refuses a host's start: a session is armed, between its steps, or about to arm on
  // the open camera (its thread has not armed it yet).
  bool SessionBusy() const {
    return m_sessionMode.load() != ModeIdle || m_enrollStep.load() != 0 ||
           (m_irisOpen.load() && m_sessionsStarting.load() > 0);
  }
  int32_t m_matchIndex[3] = {-1, -1, -1};  // Small, Big, Q5
  int32_t m_rejectCount = 0;
  const int32_t* m_matchDb[3] = {nullptr, nullptr, nullptr};
  int32_t m_matchDbCount[3] = {0, 0, 0};
  // Where prompts play: the control's own player on the default sound device, or one
  // a host or test puts in its place before starting a session (not owned).
  session::VoicePlayer* m_voicePlayer = nullptr;
  uint32_t m_lastRealtimeCaptureTick = 0;
  uint8_t m_grayFrame[kFrameWidth * kFrameHeight];
  WorkflowBuffers m_workflow;  // enrollment and matching working buffers
  int32_t StringMode = 0;
  std::string CameraIDIris;
  // Read by the camera and session threads while the host may set them.
  std::atomic<int32_t> EnableVoice{1};
  std::atomic<int32_t> EnrollIrisTimeout{30};
  std::atomic<int32_t> MatchIrisTimeout{20};
  std::string CameraIDVisible = kDefaultVisibleCameraId;
  std::string CameraIDInfrared = kDefaultInfraredCameraId;
  std::string Burger;

 private:
  COcuvantCtrl();
  int32_t OpenIrisVideo();
  // `nextStep`: step 1 started by the result handler of step 0, while the camera
  // thread waits for that handler (so no frame can be in progress).
  int32_t StartEnrollment(SessionMode mode, bool nextStep = false);
  // Takes the main capture session's frame lock once no frame is in progress; false
  // when a frame keeps it (a session is still ending: its result is yet to come).
  bool EnterBetweenFrames();
  // Leaves the frame lock that EnterBetweenFrames took, if `held`, at the end of a scope.
  class FrameLockHold {
   public:
    FrameLockHold(platform::CriticalSection& lock, bool held) : lock_(lock), held_(held) {}
    ~FrameLockHold() {
      if (held_) lock_.Leave();
    }
    FrameLockHold(const FrameLockHold&) = delete;
    FrameLockHold& operator=(const FrameLockHold&) = delete;

   private:
    platform::CriticalSection& lock_;
    const bool held_;
  };
  // Runs CloseIrisVideo(next) on a thread of its own and waits for it at most 1000 ms.
  int32_t StartCloseIrisVideo(NextAction next);
  void CloseIrisVideo(NextAction next);
  // Counts an iris close that is about to run (its camera is not ready from now on).
  void IrisCloseBegins();
  void CancelIrisReopen();
  // Session threads of EnrollBothIris/EnrollLeftIris/EnrollRightIris and MatchIris.
  // `stepOne`: step 1 of an enrollment, which only arms while that enrollment goes on.
  void EnrollThread(SessionMode mode, bool stepOne);
  void MatchThread();
  // Portrait photo camera on m_mainCapture (1 visible-light, other values infrared).
  int32_t PhotoOpen(int32_t cameraKind);
  // Closes the photo camera on a thread of its own, waiting for it at most 1000 ms;
  // false when no thread could be started (the camera stays open).
  bool StartClosePhoto(NextAction next);
  void ClosePhotoThread(NextAction next);
  // Infrared face camera on m_mainCapture (route FaceFrames); 1 when open.
  int32_t OpenInfraredFace();
  // Closes the infrared face camera on a thread of its own, without waiting.
  void StartCloseFace(NextAction next);
  void CloseFaceThread(NextAction next);

  // Fires the enrollment result event of `mode` (array or string form).
  void DeliverEnrollResult(SessionMode mode, int32_t result);
  void OnEnrollDone(SessionMode mode, int32_t result);
  void OnMatchDone(int32_t result);
  void OnCameraNext(int32_t next);

  std::unique_ptr<session::VoicePlayer> m_ownVoicePlayer;
  std::atomic<EventSink*> m_eventSink{nullptr};
  bool m_modified = false;
  std::atomic<int32_t> m_closersRunning{0};    // worker threads still running
  std::atomic<bool> m_shuttingDown{false};     // set by the destructor
  std::unique_ptr<platform::Window> m_window;  // created last, destroyed first
  platform::WindowHandle m_windowHandle;       // for worker threads
};

}  // namespace ocuvant::control
