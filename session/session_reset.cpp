// What a new enrollment, a new enrollment step or a new match session starts from.
#include <algorithm>
#include <cstring>

#include "control/ocuvant_ctrl.h"
#include "session/iris_pipeline.h"
#include "session/workflows.h"

namespace ocuvant::session {
namespace {

enum class Scope { Session, Step };

template <typename KindState>
void ResetKind(KindState& k, Scope scope) {
  std::fill(std::begin(k.attempts), std::end(k.attempts), 0);
  std::fill(std::begin(k.accepted), std::end(k.accepted), 0);
  std::fill(std::begin(k.stepResult), std::end(k.stepResult), -1);
  std::memset(k.cachedEyeImage, 0, sizeof k.cachedEyeImage);
  std::memset(k.cachedIrisImage, 0, sizeof k.cachedIrisImage);
  std::memset(k.cachedFeature, 0, sizeof k.cachedFeature);
  std::memset(k.cachedQuality, 0, sizeof k.cachedQuality);
  std::memset(k.cachedLocation, 0, sizeof k.cachedLocation);
  std::memset(k.eyeImage, 0, sizeof k.eyeImage);
  std::memset(k.enrollQualityReport, 0, sizeof k.enrollQualityReport);
  std::memset(k.enrollLocationReport, 0, sizeof k.enrollLocationReport);
  std::memset(k.matchQualityReport, 0, sizeof k.matchQualityReport);
  std::memset(k.matchLocationReport, 0, sizeof k.matchLocationReport);
  if (scope == Scope::Step) return;  // step-0 templates, scratch and ratio survive
  for (auto& eye : k.templates) std::memset(eye, 0, control::kTemplateAreaBytes / 2);
  std::memset(k.matchQualityScratch, 0, sizeof k.matchQualityScratch);
}

void Reset(control::COcuvantCtrl& ctrl, Scope scope) {
  ResetKind(ctrl.m_small, scope);
  ResetKind(ctrl.m_big, scope);
  ResetKind(ctrl.m_q5, scope);
  if (scope == Scope::Session) {
    ctrl.m_enrollStep = 0;
    ctrl.m_fillLightOn = false;
    ctrl.m_small.maxPupilRatio = -1;  // the two kinds that measure the pupil
    ctrl.m_big.maxPupilRatio = -1;
  }
  ctrl.m_frameCount = 0;
  std::fill(std::begin(ctrl.m_matchIndex), std::end(ctrl.m_matchIndex), -1);
  ctrl.m_rejectCount = 0;
  ctrl.m_workflow.ResetProgress();
  StartIrisPipelineSession();
}

}  // namespace

void ResetSession(control::COcuvantCtrl& ctrl) {
  Reset(ctrl, Scope::Session);
}

void ResetStep(control::COcuvantCtrl& ctrl) {
  Reset(ctrl, Scope::Step);
}

}  // namespace ocuvant::session
