#include "capture/capture_video.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "capture/capture_hooks.h"
#include "capture/capture_results.h"
#include "platform/message_box.h"
#include "platform/thread.h"

namespace ocuvant::capture {
namespace {

constexpr char kMessageCaption[] = "Ocuvant";
constexpr int32_t kRunNoGraph = -100;
constexpr int32_t kRunFailed = -102;

}  // namespace

CCaptureVideo::~CCaptureVideo() {
  std::unique_ptr<CaptureSource> source;
  {
    std::lock_guard<std::mutex> lock(m_graphMutex);
    m_grabber.SetIgnoreFrames(true);
    m_grabber.CancelSnapshot();
    source = DetachSourceLocked();
  }
  StopSource(std::move(source));
}

void CCaptureVideo::SetCameraParams(const std::string& text) {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  m_cameraParams = text;
}

std::unique_ptr<CaptureSource> CCaptureVideo::DetachSourceLocked() {
  m_graphBuilt = false;
  m_deviceBound = false;
  m_state = CaptureState::Empty;
  return std::move(m_source);
}

// Stops a detached source. Called from the source's own streaming thread (a frame
// handler that closes its session), the stop and release move to a thread of their own.
void CCaptureVideo::StopSource(std::unique_ptr<CaptureSource> source) {
  if (!source) return;
  if (source->OnStreamingThread()) {
    source->Pause();  // nothing more reaches this session's callback
    std::shared_ptr<CaptureSource> shared(std::move(source));
    platform::StartDetachedThread([shared] { shared->Stop(); });
    return;
  }
  source->Stop();
}

// Leftovers of a paused or half-built graph; the source delivers nothing any more.
void CCaptureVideo::ReleaseGraphLocked() {
  if (!m_graphBuilt && !m_source) return;
  m_grabber.SetIgnoreFrames(true);
  StopSource(DetachSourceLocked());
}

int32_t CCaptureVideo::Open(int32_t deviceIndex, WindowHandle owner, FrameRoute route,
                            const char* sessionName) {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  m_grabber.CancelSnapshot();  // a request made for an earlier camera is not this one's
  m_grabber.SetRoute(route);
  m_grabber.SetSessionName(sessionName);
  if (m_deviceBound) {
    char text[64];
    std::snprintf(text, sizeof text, "已经初始化:%d",
                  static_cast<int>(reinterpret_cast<intptr_t>(owner)));
    LogIfEnabled(text, "cc");
    return kCaptureOk;
  }
  ReleaseGraphLocked();
  m_graphBuilt = true;
  if (!BindDeviceLocked(deviceIndex)) {
    ReleaseGraphLocked();
    return 1;
  }
  if (!m_cameraParams.empty()) ApplyCameraParamsLocked(m_cameraParams);
  if (!m_source) {  // the device disappeared between search and bind
    ReleaseGraphLocked();
    return kCaptureErrorPointer;
  }
  int32_t width = 0, height = 0;
  if (route == IrisFrames) m_source->RequireFrameSize(1920, 1080);  // the pipeline's frame
  const int32_t connected = m_source->Connect(&width, &height);
  if (connected != kCaptureOk) {
    ReleaseGraphLocked();
    return connected < 0 ? connected : kCaptureErrorCannotConnect;
  }
  m_grabber.SetFrameSize(width, height);
  m_ownerWindow = owner;
  m_source->AttachVideoWindow(owner);
  m_state = CaptureState::Built;
  return kCaptureOk;
}

int32_t CCaptureVideo::OpenPhotoVideo(int32_t deviceIndex) {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  m_grabber.CancelSnapshot();
  m_grabber.SetRoute(SnapshotOnly);
  m_grabber.SetSessionName("PhotoVideo");
  ReleaseGraphLocked();  // a graph built earlier is replaced, not leaked
  m_graphBuilt = true;
  if (!BindDeviceLocked(deviceIndex)) {
    platform::ShowMessageBox("绑定视频设备失败！", kMessageCaption);
    ReleaseGraphLocked();
    return 1;
  }
  if (!m_cameraParams.empty()) {
    ApplyCameraParamsLocked(m_cameraParams);
    LogIfEnabled(m_cameraParams.c_str(), "设置视频参数");
  }
  if (!m_source) platform::ShowMessageBox("Capture Filter添加失败！", kMessageCaption);
  int32_t width = 0, height = 0;
  const int32_t connected = m_source ? m_source->Connect(&width, &height) : kCaptureErrorPointer;
  if (connected != kCaptureOk) {
    platform::ShowMessageBox("Preview Pin连接失败！", kMessageCaption);
    ReleaseGraphLocked();
    return connected < 0 ? connected : kCaptureErrorCannotConnect;
  }
  if (width <= 0 || height <= 0) {
    platform::ShowMessageBox("Grabber Filter获取视频参数失败！", kMessageCaption);
    ReleaseGraphLocked();
    return kCaptureErrorFail;
  }
  m_grabber.SetFrameSize(width, height);
  m_ownerWindow = nullptr;  // the background camera's picture is never shown
  m_source->AttachVideoWindow(nullptr);
  m_state = CaptureState::Built;
  return kCaptureOk;
}

int32_t CCaptureVideo::Run() {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  if (!m_graphBuilt) return kRunNoGraph;
  std::string error;
  if (!m_source || !m_source->Start(&m_grabber, &error)) {
    if (!error.empty()) platform::ShowMessageBox(error, kMessageCaption);
    return kRunFailed;
  }
  m_grabber.SetIgnoreFrames(false);
  m_state = CaptureState::Streaming;
  return 1;
}

void CCaptureVideo::SetOwnerWindow(WindowHandle owner) {
  // Before any graph exists the owner is only recorded.
  std::lock_guard<std::mutex> lock(m_graphMutex);
  m_ownerWindow = owner;
  if (m_source && m_state != CaptureState::Empty && owner != nullptr) {
    m_source->AttachVideoWindow(owner);
  }
}

void CCaptureVideo::RequestSnapshot(int32_t captureKind, const std::string& path) {
  m_grabber.RequestSnapshot(captureKind, path);
}

bool CCaptureVideo::RequestSnapshotWhileStreaming(int32_t captureKind, const std::string& path) {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  if (m_state != CaptureState::Streaming) return false;
  m_grabber.RequestSnapshot(captureKind, path);
  return true;
}

int32_t CCaptureVideo::Pause() {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  m_grabber.SetIgnoreFrames(true);
  m_grabber.CancelSnapshot();
  if (m_source) m_source->Pause();
  if (m_graphBuilt) m_state = CaptureState::Paused;
  m_deviceBound = false;
  return 0;
}

int32_t CCaptureVideo::Close() {
  std::unique_ptr<CaptureSource> source;
  {
    std::lock_guard<std::mutex> lock(m_graphMutex);
    m_grabber.SetIgnoreFrames(true);
    m_grabber.CancelSnapshot();
    source = DetachSourceLocked();
  }
  if (m_grabber.Route() == IrisFrames) {
    // Waits for an iris frame in progress. Frames that reach the callback from now on
    // see the flag under this lock and are dropped; the source is stopped outside the
    // lock, so a callback waiting for it can finish and the stop cannot deadlock.
    platform::Lock frame(m_grabber.FrameLock());
  }
  StopSource(std::move(source));
  return 0;
}

CaptureState CCaptureVideo::State() const {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  return m_state;
}

bool CCaptureVideo::DeviceBound() const {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  return m_deviceBound;
}

CCaptureVideo::WindowHandle CCaptureVideo::OwnerWindow() const {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  return m_ownerWindow;
}

}  // namespace ocuvant::capture
