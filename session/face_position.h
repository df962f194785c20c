// Where the face sits in the infrared picture, from the face library's face box, and
// the hint that tells the person how to move.
#pragma once

#include <cstdint>

#include "support/travex_face.h"

namespace ocuvant::session {

enum FacePosition : int32_t {
  FaceAtLeft = 0,      // "Move to right"
  FaceAtRight = 1,     // "Move to left"
  FaceAtTop = 2,       // "Move down"
  FaceAtBottom = 3,    // "Move up"
  FaceTooSmall = 4,    // "Move forward"
  FaceTooLarge = 5,    // "Move backward"
  FaceWellPlaced = 6,  // no hint
};

// Position code of a face box given in 640 x 480 coordinates (judged at half scale).
// Any 32-bit box is accepted: inverted or outside the picture, without overflow.
FacePosition PositionOf(const support::FaceDetail& detail);

// Hint text of a position code; nullptr for FaceWellPlaced and unknown codes.
const char* PositionHint(int32_t code);

}  // namespace ocuvant::session
