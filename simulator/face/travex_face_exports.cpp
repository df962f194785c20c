// Reference face library: the three entry points of the external face library over
// the stand-in detector. Templates hold the person features the detector measures and
// a small picture of the face; enrollment accepts five templates of one person.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "simulator/face/face_detector.h"
#include "support/travex_face.h"

namespace {

using ocuvant::support::kFacePoseOffset;
using ocuvant::support::kFaceRecordSize;
using ocuvant::support::kFaceTemplateSize;

constexpr unsigned char kTemplateMagic[4] = {'T', 'V', 'X', 'F'};
constexpr unsigned char kRecordMagic[4] = {'T', 'V', 'X', 'E'};
constexpr size_t kFeaturesOffset = 8;  // three int32: eye spacing, eye row, mouth row
constexpr int kFeatures = 3;
constexpr size_t kPatchOffset = 64;  // 32 x 32 grey picture of the face box
constexpr int kPatchSide = 32;
constexpr int32_t kSamePersonTolerance = 150;  // per feature, 1/10000 of the face
constexpr int32_t kEnrollCount = 5;

static_assert(kPatchOffset + kPatchSide * kPatchSide <= kFacePoseOffset);
static_assert(kPatchOffset + kPatchSide * kPatchSide <= kFaceRecordSize);

void PutInt(unsigned char* at, int32_t v) {
  std::memcpy(at, &v, sizeof v);
}
int32_t GetInt(const unsigned char* at) {
  int32_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

}  // namespace

#define TRAVEX_EXPORT extern "C" __attribute__((visibility("default")))

TRAVEX_EXPORT int32_t TravexFaceInit() {
  return 1;
}

TRAVEX_EXPORT int32_t TravexFaceMakeTemplateWithDetail(unsigned char* image, int32_t rows,
                                                       int32_t columns, unsigned char* templ,
                                                       int32_t* detail, int32_t* extra) {
  using ocuvant::simulator::face::DetectedFace;
  DetectedFace f{};
  if (templ == nullptr || detail == nullptr ||
      !ocuvant::simulator::face::DetectFace(image, rows, columns, &f)) {
    if (extra != nullptr) *extra = 0;
    return 0;
  }
  const int32_t values[9] = {f.x1, f.y1, f.x2, f.y2, f.area, f.ax, f.ay, f.bx, f.by};
  std::memcpy(detail, values, sizeof values);
  if (extra != nullptr) *extra = 1;  // faces found

  std::memset(templ, 0, kFaceTemplateSize);
  std::memcpy(templ, kTemplateMagic, sizeof kTemplateMagic);
  PutInt(templ + kFeaturesOffset, f.eyeSpacing);
  PutInt(templ + kFeaturesOffset + 4, f.eyeRow);
  PutInt(templ + kFeaturesOffset + 8, f.mouthRow);
  const int32_t w = f.x2 - f.x1, h = f.y2 - f.y1;
  for (int py = 0; py < kPatchSide; ++py) {
    const int32_t y = f.y1 + (2 * py + 1) * h / (2 * kPatchSide);
    for (int px = 0; px < kPatchSide; ++px) {
      const int32_t x = f.x1 + (2 * px + 1) * w / (2 * kPatchSide);
      templ[kPatchOffset + py * kPatchSide + px] = image[static_cast<size_t>(y) * columns + x];
    }
  }
  const int32_t pose = std::clamp(f.pose, -127, 127);
  templ[kFacePoseOffset] = static_cast<unsigned char>(static_cast<int8_t>(pose));
  return 1;
}

TRAVEX_EXPORT int32_t TravexFaceEnroll(unsigned char* templates, int32_t count,
                                       unsigned char* record) {
  if (templates == nullptr || record == nullptr || count != kEnrollCount) return 0;
  int32_t features[kFeatures][kEnrollCount];
  for (int t = 0; t < kEnrollCount; ++t) {
    const unsigned char* templ = templates + static_cast<size_t>(t) * kFaceTemplateSize;
    if (std::memcmp(templ, kTemplateMagic, sizeof kTemplateMagic) != 0) return 0;
    for (int k = 0; k < kFeatures; ++k) features[k][t] = GetInt(templ + kFeaturesOffset + 4 * k);
  }
  // One person: every feature of every template close to that feature's median.
  int32_t median[kFeatures];
  for (int k = 0; k < kFeatures; ++k) {
    int32_t sorted[kEnrollCount];
    std::copy(features[k], features[k] + kEnrollCount, sorted);
    std::sort(sorted, sorted + kEnrollCount);
    median[k] = sorted[kEnrollCount / 2];
    for (int t = 0; t < kEnrollCount; ++t) {
      const int32_t d = features[k][t] - median[k];
      if (d > kSamePersonTolerance || d < -kSamePersonTolerance) return 0;
    }
  }
  std::memset(record, 0, kFaceRecordSize);
  std::memcpy(record, kRecordMagic, sizeof kRecordMagic);
  PutInt(record + 4, count);
  for (int k = 0; k < kFeatures; ++k) PutInt(record + kFeaturesOffset + 4 * k, median[k]);
  for (int i = 0; i < kPatchSide * kPatchSide; ++i) {
    int32_t sum = 0;
    for (int t = 0; t < kEnrollCount; ++t) {
      sum += templates[static_cast<size_t>(t) * kFaceTemplateSize + kPatchOffset + i];
    }
    record[kPatchOffset + i] = static_cast<unsigned char>(sum / kEnrollCount);
  }
  return 1;
}

static_assert(std::is_same_v<decltype(&TravexFaceInit), ocuvant::support::TravexFaceInitFn>);
static_assert(std::is_same_v<decltype(&TravexFaceMakeTemplateWithDetail),
                             ocuvant::support::TravexFaceMakeTemplateWithDetailFn>);
static_assert(std::is_same_v<decltype(&TravexFaceEnroll), ocuvant::support::TravexFaceEnrollFn>);
