#include "support/travex_face.h"

#include <cstdio>
#include <cstring>

#include "platform/message_box.h"

namespace ocuvant::support {

bool LandmarksTooClose(const FaceDetail& detail) {
  const int64_t dx = int64_t{detail.ax()} - detail.bx();
  const int64_t dy = int64_t{detail.ay()} - detail.by();
  // Either difference alone at 95 or more decides it; below that the squares are small.
  if (dx >= kFaceMinLandmarkDistance || -dx >= kFaceMinLandmarkDistance) return false;
  if (dy >= kFaceMinLandmarkDistance || -dy >= kFaceMinLandmarkDistance) return false;
  return dx * dx + dy * dy < kFaceMinLandmarkDistance * kFaceMinLandmarkDistance;
}

TravexFace::TravexFace()
    : template_(new unsigned char[kFaceTemplateSize]()),
      slots_(new unsigned char[kFaceTemplateSize * kFaceTemplateSlots]()),
      record_(new unsigned char[kFaceRecordSize]()) {}

TravexFace::~TravexFace() = default;  // the module is freed by its holder

int32_t TravexFace::Load(const std::string& directory) {
  loaded_ = false;
  makeTemplate_ = nullptr;
  enroll_ = nullptr;
  directory_ = directory;
  // "%s\TravexFace(32bit).dll": the platform maps the separators and the ".dll" name.
  if (!module_.Load(directory + "\\" + kTravexFaceLibraryName)) return kFaceLibraryMissing;
  if (auto init = reinterpret_cast<TravexFaceInitFn>(module_.Symbol(kTravexFaceInit))) {
    char text[32];
    std::snprintf(text, sizeof text, "Init return:%d", static_cast<int>(init()));
    platform::ShowMessageBox(text);
  }
  auto enroll = reinterpret_cast<TravexFaceEnrollFn>(module_.Symbol(kTravexFaceEnroll));
  if (enroll == nullptr) return kFaceEnrollMissing;
  auto make = reinterpret_cast<TravexFaceMakeTemplateWithDetailFn>(
      module_.Symbol(kTravexFaceMakeTemplateWithDetail));
  if (make == nullptr) return kFaceMakeTemplateMissing;
  enroll_ = enroll;
  makeTemplate_ = make;
  loaded_ = true;
  return 1;
}

FaceCheck TravexFace::CheckTemplate(unsigned char* grey, int32_t slot) {
  if (!loaded_ || slot < 0 || slot >= kFaceTemplateSlots) return FaceNone;
  if (makeTemplate_(grey, kFaceImageRows, kFaceImageColumns, template_.get(), detail_.values,
                    &extra_) == 0) {
    return FaceNone;
  }
  std::memcpy(slots_.get() + static_cast<size_t>(slot) * kFaceTemplateSize, template_.get(),
              kFaceTemplateSize);
  if (LandmarksTooClose(detail_)) return FaceTooFar;
  const auto pose = static_cast<int8_t>(template_[kFacePoseOffset]);
  if (pose < -kFaceMaxPose || pose > kFaceMaxPose) return FaceBadPose;
  return FaceGood;
}

bool TravexFace::Enroll() {
  if (!loaded_) return false;
  return enroll_(slots_.get(), kFaceTemplateSlots, record_.get()) != 0;
}

}  // namespace ocuvant::support
