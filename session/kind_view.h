// A size-independent view of one kind's KindState record inside the control, so
// the workflows handle the three kinds with one code path.
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/kind_state.h"
#include "engine/common/engine_ops.h"
#include "engine/common/engine_types.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

struct KindView {
  engine::TemplateKind kind = engine::KindSmall;
  const engine::EngineOps* ops = nullptr;
  int width = 0;  // eye image
  int height = 0;
  int cropSide = 0;
  size_t eyeBytes = 0;
  size_t cropBytes = 0;
  int qualityCount = 0;
  bool hasLocation = false;  // Small and Big report a location

  int32_t* attempts = nullptr;
  int32_t* accepted = nullptr;
  int32_t* stepResult = nullptr;
  int32_t* buildScore = nullptr;
  int16_t* maxPupilRatio = nullptr;
  int32_t* matchQualityReport = nullptr;
  int32_t* matchLocationReport = nullptr;
  int32_t* matchQualityScratch = nullptr;

  uint8_t* CachedEyeImage(int eye, int slot) const {
    return cachedEye_ + Slot(eye, slot) * eyeBytes;
  }
  uint8_t* CachedIrisImage(int eye, int slot) const {
    return cachedIris_ + Slot(eye, slot) * cropBytes;
  }
  uint8_t* CachedFeature(int eye, int slot) const {
    return cachedFeature_ + Slot(eye, slot) * engine::kTemplateBytes;
  }
  int32_t* CachedQuality(int eye, int slot) const { return cachedQuality_ + Slot(eye, slot) * 6; }
  int32_t* CachedLocation(int eye, int slot) const { return cachedLocation_ + Slot(eye, slot) * 4; }
  uint8_t* EyeImage(int eye) const { return eyeImage_ + static_cast<size_t>(eye) * eyeBytes; }
  // The eye's 1024-byte area: step-0 template, then step-1 template.
  uint8_t* Templates(int eye) const {
    return templates_ + static_cast<size_t>(eye) * control::kTemplateAreaBytes;
  }
  int32_t* EnrollQualityReport(int eye) const { return enrollQuality_ + eye * 6; }
  int32_t* EnrollLocationReport(int eye) const { return enrollLocation_ + eye * 4; }

  template <typename KS>
  void Bind(KS& ks);

 private:
  static size_t Slot(int eye, int slot) {
    return static_cast<size_t>(eye) * control::kCacheSlots + static_cast<size_t>(slot);
  }
  uint8_t* cachedEye_ = nullptr;
  uint8_t* cachedIris_ = nullptr;
  uint8_t* cachedFeature_ = nullptr;
  int32_t* cachedQuality_ = nullptr;
  int32_t* cachedLocation_ = nullptr;
  uint8_t* eyeImage_ = nullptr;
  uint8_t* templates_ = nullptr;
  int32_t* enrollQuality_ = nullptr;
  int32_t* enrollLocation_ = nullptr;
};

// The view of `kind`'s record in `ctrl` (cheap: pointers only).
KindView ViewOf(control::COcuvantCtrl& ctrl, engine::TemplateKind kind);

// Whether the configuration enables `kind`.
bool KindEnabled(const control::COcuvantCtrl& ctrl, engine::TemplateKind kind);

}  // namespace ocuvant::session
