#include "session/workflow_dumps.h"

#include "control/ocuvant_ctrl.h"
#include "support/dump_names.h"
#include "support/image_files.h"

namespace ocuvant::session {
namespace {

const char* KindName(const KindView& k) {
  return engine::kKindNames[k.kind];
}

bool SettingIsOne(const control::COcuvantCtrl& ctrl, const char* key) {
  const auto settings = ctrl.m_settings.Load();
  return settings && settings->IsOne(key);
}

}  // namespace

void WriteEnrollDump(control::COcuvantCtrl& ctrl, const KindView& k, int eye,
                     const uint8_t* irisImage, const uint8_t* eyeImage) {
  const std::string& dir = ctrl.m_moduleDir;
  support::WriteGreyBmp(irisImage, k.cropSide, k.cropSide,
                        support::EnrollIrisImageName(dir, eye, KindName(k)));
  if (SettingIsOne(ctrl, "save_raw")) {
    support::WriteRawFile(
        eyeImage, k.eyeBytes,
        support::EnrollRawIrisImageName(dir, eye, KindName(k), ctrl.m_enrollStep));
  }
}

void WriteCachedEnrollImages(control::COcuvantCtrl& ctrl, const KindView& k, int eye) {
  if (!SettingIsOne(ctrl, "save_cacheraw")) return;
  for (int i = 0; i < control::kCacheSlots; ++i) {
    support::WriteRawFile(k.CachedEyeImage(eye, i), k.eyeBytes,
                          support::EnrollCachedRawIrisImageName(ctrl.m_moduleDir, eye, KindName(k),
                                                                i, ctrl.m_enrollStep));
  }
}

void WriteRecognitionDump(control::COcuvantCtrl& ctrl, const KindView& k, const uint8_t* irisImage,
                          const uint8_t* eyeImage) {
  support::WriteGreyBmp(irisImage, k.cropSide, k.cropSide,
                        support::MatchIrisImageName(ctrl.m_moduleDir));
  support::WriteRawFile(eyeImage, k.eyeBytes, support::MatchRawIrisImageName(ctrl.m_moduleDir));
}

void WriteMatchTimeoutDump(control::COcuvantCtrl& ctrl, const KindView& k, const uint8_t* irisImage,
                           const uint8_t* leftEye, const uint8_t* rightEye) {
  const std::string& dir = ctrl.m_moduleDir;
  support::WriteGreyBmp(irisImage, k.cropSide, k.cropSide, support::MatchIrisImageName(dir));
  const uint8_t* eyes[control::kEyes] = {leftEye, rightEye};
  for (int eye = 0; eye < control::kEyes; ++eye) {
    const int32_t code = ctrl.m_workflow.matchProcessCode[k.kind][eye];
    support::WriteRawFile(eyes[eye], k.eyeBytes,
                          support::MatchTimeoutRawIrisImageName(dir, eye, KindName(k), code));
  }
}

}  // namespace ocuvant::session
