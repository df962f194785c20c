#include "session/iris_pipeline.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

#include "capture/capture_video.h"
#include "control/ocuvant_ctrl.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "session/face_workflow.h"
#include "session/workflows.h"
#include "support/image_files.h"

namespace ocuvant::session {
namespace {

std::atomic<int32_t> g_lastFrameResult{-1};
std::atomic<int32_t> g_realtimeFileCounter{0};
std::atomic<int64_t> g_droppedFrames{0};
std::atomic<bool> g_dropLogged{false};

constexpr size_t kRowBytes = size_t{kIrisFrameWidth} * 3;

// Eye images sit centred vertically in the frame; the left eye's image ends at the
// last column, the right eye's starts at column 0.
template <typename KindState>
void Cut(const uint8_t* grey, KindState& k) {
  constexpr int kFirstRow = (kIrisFrameHeight - KindState::kEyeHeight) / 2;
  constexpr int kLeftColumn = kIrisFrameWidth - KindState::kEyeWidth;
  static_assert(kFirstRow >= 0 && kLeftColumn >= 0);
  const uint8_t* top = grey + size_t{kFirstRow} * kIrisFrameWidth;
  uint8_t* left = k.eyeImage[control::EyeLeft];
  uint8_t* right = k.eyeImage[control::EyeRight];
  for (int r = 0; r < KindState::kEyeHeight; ++r) {
    const uint8_t* row = top + size_t(r) * kIrisFrameWidth;
    std::memcpy(left + size_t(r) * KindState::kEyeWidth, row + kLeftColumn, KindState::kEyeWidth);
    std::memcpy(right + size_t(r) * KindState::kEyeWidth, row, KindState::kEyeWidth);
  }
}

bool FrameFits(const control::COcuvantCtrl& ctrl, long length) {
  if (length < 0 || static_cast<size_t>(length) < kIrisFrameBytes) return false;
  return ctrl.m_mainCapture->FrameWidth() == kIrisFrameWidth &&
         ctrl.m_mainCapture->FrameHeight() == kIrisFrameHeight;
}

void NoteDroppedFrame(control::COcuvantCtrl& ctrl, long length) {
  g_droppedFrames.fetch_add(1, std::memory_order_relaxed);
  if (g_dropLogged.exchange(true, std::memory_order_relaxed)) return;
  char line[128];
  std::snprintf(line, sizeof line, "虹膜视频帧尺寸不符,丢弃:%dx%d,%ld",
                ctrl.m_mainCapture->FrameWidth(), ctrl.m_mainCapture->FrameHeight(), length);
  ctrl.LogIfEnabled(line, "video");
}

// About two grey frames a second into "<module>\CaptureIris" while a session is armed,
// numbered across sessions.
void CaptureRealtime(control::COcuvantCtrl& ctrl) {
  const uint32_t now = platform::GetTickCount();
  if (now - ctrl.m_lastRealtimeCaptureTick <= kRealtimeCaptureIntervalMs) return;
  const std::string folder = ctrl.m_moduleDir + "\\CaptureIris";
  const std::string stamp = platform::FormatLocalTime("%Y-%m-%d_%H-%M-%S");
  if (support::EnsureDirectory(folder) != 0) {
    const int32_t n = g_realtimeFileCounter.fetch_add(1, std::memory_order_relaxed) + 1;
    char name[64];
    std::snprintf(name, sizeof name, "\\both[%s]%d.raw", stamp.c_str(), static_cast<int>(n));
    support::WriteRawFile(ctrl.m_grayFrame, kGreyFrameBytes, folder + name);
  }
  ctrl.m_lastRealtimeCaptureTick = platform::GetTickCount();
}

int32_t Dispatch(control::COcuvantCtrl& ctrl, int32_t mode) {
  auto& s = ctrl.m_small;
  auto& b = ctrl.m_big;
  auto& q = ctrl.m_q5;
  using control::EyeLeft;
  using control::EyeRight;
  switch (mode) {
    case control::ModeEnrollBoth:
      return EnrollBothFrame(ctrl, s.eyeImage[EyeLeft], s.eyeImage[EyeRight], q.eyeImage[EyeLeft],
                             q.eyeImage[EyeRight], b.eyeImage[EyeLeft], b.eyeImage[EyeRight]);
    case control::ModeEnrollLeft:
      return EnrollSingleFrame(ctrl, engine::EyeLeft, control::WM_ENROLL_LEFT_DONE,
                               s.eyeImage[EyeLeft], q.eyeImage[EyeLeft], b.eyeImage[EyeLeft]);
    case control::ModeEnrollRight:
      return EnrollSingleFrame(ctrl, engine::EyeRight, control::WM_ENROLL_RIGHT_DONE,
                               s.eyeImage[EyeRight], q.eyeImage[EyeRight], b.eyeImage[EyeRight]);
    case control::ModeMatch:
      return MatchFrame(ctrl, ctrl.m_matchDb[engine::KindSmall],
                        ctrl.m_matchDbCount[engine::KindSmall], ctrl.m_matchDb[engine::KindBig],
                        ctrl.m_matchDbCount[engine::KindBig], ctrl.m_matchDb[engine::KindQ5],
                        ctrl.m_matchDbCount[engine::KindQ5], s.eyeImage[EyeLeft],
                        s.eyeImage[EyeRight], b.eyeImage[EyeLeft], b.eyeImage[EyeRight],
                        q.eyeImage[EyeLeft], q.eyeImage[EyeRight]);
    default:
      return g_lastFrameResult.load(std::memory_order_relaxed);
  }
}

}  // namespace

void GreyFromBottomUpBgr(const uint8_t* bgr, uint8_t* grey) {
  for (int i = 0; i < kIrisFrameHeight; ++i) {
    const uint8_t* src = bgr + size_t(kIrisFrameHeight - 1 - i) * kRowBytes;
    uint8_t* dst = grey + size_t(i) * kIrisFrameWidth;
    for (int j = 0; j < kIrisFrameWidth; ++j) dst[j] = src[3 * j];
  }
}

void MirrorRows(uint8_t* image, int rows, int columns) {
  for (int r = 0; r < rows; ++r) {
    uint8_t* row = image + size_t(r) * size_t(columns);
    std::reverse(row, row + columns);
  }
}

// Eight output pixels are gathered into one word and stored at once: about four
// times faster than the byte loop of the two separate passes.
void MirroredGreyFromBottomUpBgr(const uint8_t* bgr, uint8_t* grey) {
  constexpr int kGroup = 8;
  static_assert(kIrisFrameWidth % kGroup == 0);
  constexpr bool kLittle = std::endian::native == std::endian::little;
  for (int i = 0; i < kIrisFrameHeight; ++i) {
    // Blue byte of the stored row's last pixel: column 0 of the mirrored row.
    const uint8_t* last =
        bgr + size_t(kIrisFrameHeight - 1 - i) * kRowBytes + 3 * size_t(kIrisFrameWidth - 1);
    uint8_t* dst = grey + size_t(i) * kIrisFrameWidth;
    for (int j = 0; j < kIrisFrameWidth; j += kGroup) {
      const uint8_t* src = last - 3 * j;
      uint64_t word = 0;
      for (int k = 0; k < kGroup; ++k) {
        word |= uint64_t{src[-3 * k]} << (kLittle ? 8 * k : 8 * (kGroup - 1 - k));
      }
      std::memcpy(dst + j, &word, sizeof word);
    }
  }
}

void CutEyeImages(control::COcuvantCtrl& ctrl, engine::TemplateKind kind) {
  switch (kind) {
    case engine::KindSmall:
      Cut(ctrl.m_grayFrame, ctrl.m_small);
      break;
    case engine::KindBig:
      Cut(ctrl.m_grayFrame, ctrl.m_big);
      break;
    case engine::KindQ5:
      Cut(ctrl.m_grayFrame, ctrl.m_q5);
      break;
  }
}

void OnFrame(control::COcuvantCtrl& ctrl, const uint8_t* data, long length,
             capture::FrameRoute route) {
  if (ctrl.m_framesIgnored) return;
  if (route == capture::IrisFrames) {
    OnIrisFrame(ctrl, data, length);
  } else if (route == capture::FaceFrames && length > 0) {
    OnFaceFrame(ctrl, data, static_cast<size_t>(length));
  }
}

int32_t OnIrisFrame(control::COcuvantCtrl& ctrl, const uint8_t* data, long length) {
  if (ctrl.m_framesIgnored) return 0;
  const int32_t mode = ctrl.m_sessionMode.load();
  if (mode == control::ModeIdle) return 0;
  if (data == nullptr || !FrameFits(ctrl, length)) {
    NoteDroppedFrame(ctrl, length);
    return 0;
  }
  if (ctrl.m_frameCount < kSkippedFrames) {
    ++ctrl.m_frameCount;
    return 0;
  }
  MirroredGreyFromBottomUpBgr(data, ctrl.m_grayFrame);

  const auto settings = ctrl.m_settings.Load();
  if (settings->Find("with_big_iris") != nullptr) CutEyeImages(ctrl, engine::KindBig);
  if (settings->Find("with_small_iris") != nullptr) CutEyeImages(ctrl, engine::KindSmall);
  if (settings->Find("with_q5_iris") != nullptr) CutEyeImages(ctrl, engine::KindQ5);
  if (settings->IsOne("capture_realtime_iris")) CaptureRealtime(ctrl);

  const int32_t result = Dispatch(ctrl, mode);
  g_lastFrameResult.store(result, std::memory_order_relaxed);
  if (result > 0 && ctrl.m_saveRaw > 0) {
    support::WriteRawFile(ctrl.m_grayFrame, kGreyFrameBytes, ctrl.m_moduleDir + "\\iris.raw");
  }
  return 1;
}

int32_t LastFrameResult() {
  return g_lastFrameResult.load(std::memory_order_relaxed);
}

int32_t RealtimeFileCounter() {
  return g_realtimeFileCounter.load(std::memory_order_relaxed);
}

int64_t DroppedIrisFrames() {
  return g_droppedFrames.load(std::memory_order_relaxed);
}

void StartIrisPipelineSession() {
  g_dropLogged.store(false, std::memory_order_relaxed);
}

}  // namespace ocuvant::session
