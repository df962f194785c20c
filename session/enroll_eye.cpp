#include "session/enroll_eye.h"

#include <cstdio>
#include <cstring>

#include "control/ocuvant_ctrl.h"
#include "session/log.h"
#include "session/workflow_dumps.h"
#include "session/workflow_feedback.h"

namespace ocuvant::session {
namespace {

constexpr int32_t kMaxFailedBatches = 4;  // attempts counted before the fifth batch fails

int StepIndex(const control::COcuvantCtrl& ctrl) {
  return ctrl.m_enrollStep.load() == 0 ? 0 : 1;
}

}  // namespace

void PublishEnrollProgress(control::COcuvantCtrl& ctrl, const KindView& k, int eye) {
  control::EyeProgress& p = ctrl.m_workflow.progress[k.kind][eye];
  p.accepted.store(k.accepted[eye], std::memory_order_relaxed);
  p.failedBatches.store(k.attempts[eye], std::memory_order_relaxed);
  p.stepResult.store(k.stepResult[eye], std::memory_order_relaxed);
}

SearchRect RectFor(const KindView& k) {
  SearchRect r;
  if (k.kind == engine::KindQ5) return r;
  r.right = k.width;
  r.bottom = 960;
  return r;
}

int32_t ProcessEnrollEye(control::COcuvantCtrl& ctrl, const KindView& k, int eye, uint8_t* image,
                         uint8_t* irisImageOut) {
  control::WorkflowBuffers& w = ctrl.m_workflow;
  const SearchRect rect = RectFor(k);
  const int32_t r = k.ops->ProcessEnrollImage(image, w.feature[eye], irisImageOut, rect.left,
                                              rect.right, rect.top, rect.bottom);
  if (r == 1) {
    std::memset(w.quality, 0, sizeof w.quality);
    std::memset(w.location, 0, sizeof w.location);
    k.ops->GetQualityScores(w.quality);
    if (k.hasLocation) {
      k.ops->GetLocationResult(&w.location[0], &w.location[1], &w.location[2], &w.location[3]);
    }
  }
  if (r < 0) {
    RejectImage(ctrl, r);
    w.progress[k.kind][eye].lastRejection.store(r, std::memory_order_relaxed);
  }
  // Checked after the engine call: an image accepted in the frame that passes the
  // limit is not kept.
  if (TimeLimitPassed(ctrl, ctrl.EnrollIrisTimeout)) {
    ctrl.m_sessionMode = control::ModeIdle;
    return kEyeTimedOut;
  }
  if (r != 1) return kEyeCollecting;
  return AcceptEnrollImage(ctrl, k, eye, w.feature[eye], irisImageOut, w.quality, w.location);
}

int32_t AcceptEnrollImage(control::COcuvantCtrl& ctrl, const KindView& k, int eye,
                          const uint8_t* feature, const uint8_t* irisImage, const int32_t* quality,
                          const int32_t* location) {
  const int32_t n = ++k.accepted[eye];
  if (n <= control::kCacheSlots) {
    const int slot = n - 1;
    std::memcpy(k.CachedFeature(eye, slot), feature, engine::kTemplateBytes);
    std::memcpy(k.CachedIrisImage(eye, slot), irisImage, k.cropBytes);
    std::memcpy(k.CachedEyeImage(eye, slot), k.EyeImage(eye), k.eyeBytes);
    std::memcpy(k.CachedQuality(eye, slot), quality, 6 * sizeof(int32_t));
    if (k.hasLocation) std::memcpy(k.CachedLocation(eye, slot), location, 4 * sizeof(int32_t));
  }
  if (n < control::kCacheSlots) return kEyeCollecting;

  const int32_t chosen =
      k.ops->BuildEnrollTemplate(k.CachedFeature(eye, 0), k.CachedFeature(eye, 1),
                                 k.CachedFeature(eye, 2), &k.buildScore[eye]);
  if (chosen > 0 && chosen <= control::kCacheSlots) {
    SelectFeature(ctrl, k, eye, chosen - 1);
    WriteCachedEnrollImages(ctrl, k, eye);
    char line[96];
    std::snprintf(line, sizeof line, "%s %s : 注册成功 ", engine::kKindNames[k.kind],
                  engine::kEyeNames[eye]);
    LogAlways(line, "enroll");
    return kEyeDone;
  }
  if (k.attempts[eye] < kMaxFailedBatches) {
    ++k.attempts[eye];
    k.accepted[eye] = 0;  // a new batch of three begins
    return kEyeCollecting;
  }
  ctrl.m_sessionMode = control::ModeIdle;
  PlayMomentPrompt(ctrl, PromptEnrollFailed);
  return kEyeFailed;
}

void SelectFeature(control::COcuvantCtrl& ctrl, const KindView& k, int eye, int slot) {
  std::memcpy(k.Templates(eye) + engine::kTemplateBytes * StepIndex(ctrl),
              k.CachedFeature(eye, slot), engine::kTemplateBytes);
  std::memcpy(k.EnrollQualityReport(eye), k.CachedQuality(eye, slot),
              static_cast<size_t>(k.qualityCount) * sizeof(int32_t));
  std::memcpy(k.EyeImage(eye), k.CachedEyeImage(eye, slot), k.eyeBytes);
  if (k.hasLocation) {
    std::memcpy(k.EnrollLocationReport(eye), k.CachedLocation(eye, slot), 4 * sizeof(int32_t));
  }
  if (k.kind == engine::KindBig) {
    const int32_t* q = k.CachedQuality(eye, slot);
    const int32_t* l = k.CachedLocation(eye, slot);
    char line[160];
    std::snprintf(line, sizeof line, "(%d,%d,%d,%d,%d,%d) (%d,%d,%d,%d)", q[0], q[1], q[2], q[3],
                  q[4], q[5], l[0], l[1], l[2], l[3]);
    LogIfEnabled(line, "【挑选特征信息】");
  }
  WriteEnrollDump(ctrl, k, eye, k.CachedIrisImage(eye, slot), k.EyeImage(eye));
}

}  // namespace ocuvant::session
