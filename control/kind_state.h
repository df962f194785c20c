// Per-kind workflow state held by the control: cached accepted images, the current
// eye images, the delivered template areas and the quality and location reports.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/engine_types.h"

namespace ocuvant::control {

using engine::EyeLeft;
using engine::EyeRight;
inline constexpr int kEyes = 2;
inline constexpr int kCacheSlots = 3;               // accepted images per batch
inline constexpr size_t kTemplateAreaBytes = 1024;  // step-0 template, then step-1

// W x H: the kind's eye image; N x N: its iris crop. Buffers are 8-bit grey,
// row-major, top row first.
template <int W, int H, int N>
struct KindStateT {
  static constexpr int kEyeWidth = W;
  static constexpr int kEyeHeight = H;
  static constexpr int kCropSide = N;
  static constexpr size_t kEyeBytes = size_t{W} * H;
  static constexpr size_t kCropBytes = size_t{N} * N;

  int32_t attempts[kEyes];
  int32_t accepted[kEyes];
  int32_t stepResult[kEyes];
  uint8_t cachedEyeImage[kEyes][kCacheSlots][kEyeBytes];
  uint8_t cachedIrisImage[kEyes][kCacheSlots][kCropBytes];
  uint8_t cachedFeature[kEyes][kCacheSlots][engine::kTemplateBytes];
  int32_t cachedQuality[kEyes][kCacheSlots][6];
  int32_t cachedLocation[kEyes][kCacheSlots][4];
  int32_t buildScore[kEyes];
  uint8_t eyeImage[kEyes][kEyeBytes];
  // Delivered to the host as 256 int32; the workflows write bytes (TemplateBytes).
  int32_t templates[kEyes][kTemplateAreaBytes / 4];
  int32_t enrollQualityReport[kEyes][6];  // Q5 fills the first 3
  int32_t matchQualityReport[6];          // Small record: last match probe of any kind
  int32_t matchLocationReport[4];         // Small record
  int32_t matchQualityScratch[6];         // Big record: last Big probe that did not match
  int32_t enrollLocationReport[kEyes][4];
  int16_t maxPupilRatio;
};

using SmallKindState = KindStateT<960, 960, 256>;
using BigKindState = KindStateT<1280, 960, 360>;
using Q5KindState = KindStateT<1280, 1080, 360>;

static_assert(SmallKindState::kEyeWidth == engine::kEyeWidth[engine::KindSmall] &&
              SmallKindState::kEyeHeight == engine::kEyeHeight[engine::KindSmall] &&
              SmallKindState::kCropSide == engine::kCropSide[engine::KindSmall]);
static_assert(BigKindState::kEyeWidth == engine::kEyeWidth[engine::KindBig] &&
              BigKindState::kEyeHeight == engine::kEyeHeight[engine::KindBig] &&
              BigKindState::kCropSide == engine::kCropSide[engine::KindBig]);
static_assert(Q5KindState::kEyeWidth == engine::kEyeWidth[engine::KindQ5] &&
              Q5KindState::kEyeHeight == engine::kEyeHeight[engine::KindQ5] &&
              Q5KindState::kCropSide == engine::kCropSide[engine::KindQ5]);

}  // namespace ocuvant::control
