#include "session/kind_view.h"

#include "control/ocuvant_ctrl.h"

namespace ocuvant::session {

template <typename KS>
void KindView::Bind(KS& ks) {
  width = KS::kEyeWidth;
  height = KS::kEyeHeight;
  cropSide = KS::kCropSide;
  eyeBytes = KS::kEyeBytes;
  cropBytes = KS::kCropBytes;
  attempts = ks.attempts;
  accepted = ks.accepted;
  stepResult = ks.stepResult;
  buildScore = ks.buildScore;
  maxPupilRatio = &ks.maxPupilRatio;
  matchQualityReport = ks.matchQualityReport;
  matchLocationReport = ks.matchLocationReport;
  matchQualityScratch = ks.matchQualityScratch;
  cachedEye_ = &ks.cachedEyeImage[0][0][0];
  cachedIris_ = &ks.cachedIrisImage[0][0][0];
  cachedFeature_ = &ks.cachedFeature[0][0][0];
  cachedQuality_ = &ks.cachedQuality[0][0][0];
  cachedLocation_ = &ks.cachedLocation[0][0][0];
  eyeImage_ = &ks.eyeImage[0][0];
  templates_ = reinterpret_cast<uint8_t*>(&ks.templates[0][0]);
  enrollQuality_ = &ks.enrollQualityReport[0][0];
  enrollLocation_ = &ks.enrollLocationReport[0][0];
}

KindView ViewOf(control::COcuvantCtrl& ctrl, engine::TemplateKind kind) {
  KindView v;
  v.kind = kind;
  v.ops = &engine::Engine(kind);
  v.qualityCount = engine::kQualityCount[kind];
  v.hasLocation = kind != engine::KindQ5;
  switch (kind) {
    case engine::KindSmall:
      v.Bind(ctrl.m_small);
      break;
    case engine::KindBig:
      v.Bind(ctrl.m_big);
      break;
    case engine::KindQ5:
      v.Bind(ctrl.m_q5);
      break;
  }
  return v;
}

bool KindEnabled(const control::COcuvantCtrl& ctrl, engine::TemplateKind kind) {
  switch (kind) {
    case engine::KindSmall:
      return ctrl.m_withSmall.load();
    case engine::KindBig:
      return ctrl.m_withBig.load();
    case engine::KindQ5:
      return ctrl.m_withQ5.load();
  }
  return false;
}

}  // namespace ocuvant::session
