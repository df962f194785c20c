// Types shared by the three iris engines and their callers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ocuvant::engine {

// Index of the template kind: engine dispatch, IrisKind and the kind names.
enum TemplateKind : int32_t { KindSmall = 0, KindBig = 1, KindQ5 = 2 };
inline constexpr int kKindCount = 3;
inline constexpr const char* kKindNames[kKindCount] = {"small", "big", "Q5"};

enum EyeSide : int32_t { EyeLeft = 0, EyeRight = 1 };
inline constexpr const char* kEyeNames[2] = {"left", "right"};

// Eye image geometry per kind (8-bit grey, rows top to bottom, stride == width).
inline constexpr int kEyeWidth[kKindCount] = {960, 1280, 1280};
inline constexpr int kEyeHeight[kKindCount] = {960, 960, 1080};
inline constexpr int kCropSide[kKindCount] = {256, 360, 360};
inline constexpr int kQualityCount[kKindCount] = {6, 6, 3};

// IrisTemplate: mask plane 0, mask plane 1, code plane 0, code plane 1; 128 bytes each.
// Byte = angular block, bit j = radial band j (band 0 nearest the pupil).
inline constexpr size_t kTemplateBytes = 512;
inline constexpr size_t kPlaneBytes = 128;

// Non-owning view of a grey image.
struct ImageView {
  uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
};

}  // namespace ocuvant::engine
