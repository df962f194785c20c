#include "session/face_workflow.h"

#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "platform/thread.h"
#include "session/face_position.h"
#include "session/log.h"

namespace ocuvant::session {
namespace {

constexpr char kFaceTag[] = "face";
constexpr size_t kFrameStride = size_t{kFaceFrameWidth} * 3;

// Grey pixel (r, c) = blue byte of frame pixel (479 - r, c): the frame is bottom-up.
void BuildGreyImage(const uint8_t* bgr, uint8_t* grey) {
  for (int32_t r = 0; r < kFaceFrameHeight; ++r) {
    const uint8_t* src = bgr + static_cast<size_t>(kFaceFrameHeight - 1 - r) * kFrameStride;
    uint8_t* dst = grey + static_cast<size_t>(r) * kFaceFrameWidth;
    for (int32_t c = 0; c < kFaceFrameWidth; ++c) dst[c] = src[3 * static_cast<size_t>(c)];
  }
}

}  // namespace

int32_t FaceWorkflow::LoadLibrary(const std::string& directory) {
  std::lock_guard<std::mutex> lock(mutex_);
  return library_.Load(directory);
}

void FaceWorkflow::Start(uint32_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.collecting = FaceCollecting::Collecting;
  state_.templateCount = 0;
  state_.lastHintCode = FaceTooSmall;
  state_.lastHintTime = now;
  state_.lastAcceptTime = now;
  state_.lastGoodPoseTime = now;
  state_.lastActivityTime = now;
}

void FaceWorkflow::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.collecting = FaceCollecting::Stopped;
}

FaceState FaceWorkflow::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

FaceFrameOutcome FaceWorkflow::ProcessFrame(const uint8_t* data, size_t length, uint32_t now) {
  if (data == nullptr || length != kFaceFrameBytes) return FaceFrameOutcome::Dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_.collecting == FaceCollecting::Stopped) return FaceFrameOutcome::Dropped;
  BuildGreyImage(data, grey_);
  return ProcessLocked(now);
}

void FaceWorkflow::LogHintLocked(int32_t code, uint32_t now) {
  if (const char* hint = PositionHint(code)) LogIfEnabled(hint, kFaceTag);
  state_.lastHintCode = code;
  state_.lastHintTime = now;
}

FaceFrameOutcome FaceWorkflow::ProcessLocked(uint32_t now) {
  FaceState& s = state_;
  const auto since = [now](uint32_t tick) { return now - tick; };  // unsigned tick arithmetic
  if (s.collecting == FaceCollecting::Idle ||
      since(s.lastActivityTime) > static_cast<uint32_t>(inactivityLimit)) {
    s.collecting = FaceCollecting::Idle;
    return FaceFrameOutcome::Inactive;
  }
  // Enrolled: the five slots are taken; nothing more until the session is restarted.
  if (s.collecting != FaceCollecting::Collecting) return FaceFrameOutcome::Dropped;

  const support::FaceCheck check = library_.CheckTemplate(grey_, s.templateCount);
  if (check != support::FaceBadPose) s.lastGoodPoseTime = now;
  if (check == support::FaceNone) return FaceFrameOutcome::NoFace;
  const auto hintDue = [&](int32_t code) {
    return s.lastHintCode != code || since(s.lastHintTime) > static_cast<uint32_t>(hintInterval);
  };
  if (check == support::FaceTooFar) {
    if (hintDue(FaceTooSmall)) LogHintLocked(FaceTooSmall, now);
    s.lastActivityTime = now;
    return FaceFrameOutcome::TooFar;
  }
  const FacePosition position = PositionOf(library_.Detail());
  if (position != FaceWellPlaced) {
    if (hintDue(position)) LogHintLocked(position, now);
    s.lastGoodPoseTime = now;
    s.lastActivityTime = now;
    return FaceFrameOutcome::Misplaced;
  }
  if (check == support::FaceBadPose) {
    if (since(s.lastGoodPoseTime) > static_cast<uint32_t>(hintInterval)) {
      LogIfEnabled("Bad pos", kFaceTag);
      s.lastGoodPoseTime = now;
    }
    return FaceFrameOutcome::BadPose;
  }
  if (since(s.lastAcceptTime) < static_cast<uint32_t>(acceptInterval)) {
    return FaceFrameOutcome::TooSoon;
  }
  ++s.templateCount;
  s.lastAcceptTime = now;
  if (s.templateCount < kFaceTemplatesToEnroll) return FaceFrameOutcome::Counted;
  if (!library_.Enroll()) {
    LogIfEnabled("Face enrollment failed", kFaceTag);
    s.templateCount = 0;
    return FaceFrameOutcome::EnrollFailed;
  }
  s.collecting = FaceCollecting::Enrolled;
  return FaceFrameOutcome::Enrolled;
}

void OnFaceFrame(control::COcuvantCtrl& control, const uint8_t* data, size_t length) {
  if (control.m_framesIgnored.load(std::memory_order_acquire)) return;
  // A camera of another format could deliver as many bytes in another shape.
  if (control.m_mainCapture && (control.m_mainCapture->FrameWidth() != kFaceFrameWidth ||
                                control.m_mainCapture->FrameHeight() != kFaceFrameHeight)) {
    return;
  }
  control.m_face.ProcessFrame(data, length, platform::GetTickCount());
}

}  // namespace ocuvant::session
