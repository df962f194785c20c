#include "session/face_position.h"

namespace ocuvant::session {
namespace {

// Limits at half scale (320 x 240).
constexpr int64_t kMaxSide = 160;
constexpr int64_t kMinWidth = 80;
constexpr int64_t kMinHeight = 106;
constexpr int64_t kMinCentreX = 90;
constexpr int64_t kMaxCentreX = 150;  // exclusive
constexpr int64_t kMinCentreY = 95;
constexpr int64_t kMaxCentreY = 165;  // exclusive

constexpr const char* kHints[] = {"Move to right", "Move to left", "Move down",
                                  "Move up",       "Move forward", "Move backward"};

}  // namespace

FacePosition PositionOf(const support::FaceDetail& detail) {
  // Halving truncates toward zero; 64-bit keeps sums and differences of any box exact.
  const int64_t x1 = detail.x1() / 2, y1 = detail.y1() / 2;
  const int64_t x2 = detail.x2() / 2, y2 = detail.y2() / 2;
  const int64_t w = x2 - x1, h = y2 - y1;
  const int64_t cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  if (w > kMaxSide || h > kMaxSide) return FaceTooLarge;
  if (w < kMinWidth || h < kMinHeight) return FaceTooSmall;
  if (cx < kMinCentreX) return FaceAtLeft;
  if (cx >= kMaxCentreX) return FaceAtRight;
  if (cy < kMinCentreY) return FaceAtTop;
  if (cy >= kMaxCentreY) return FaceAtBottom;
  return FaceWellPlaced;
}

const char* PositionHint(int32_t code) {
  if (code < 0 || code >= static_cast<int32_t>(sizeof kHints / sizeof kHints[0])) return nullptr;
  return kHints[code];
}

}  // namespace ocuvant::session
