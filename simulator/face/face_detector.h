// The reference face library's detector: finds the stand-in faces that the virtual
// infrared face camera draws (a bright face on a dark background, two dark eyes, a
// darker mouth) in a 640 x 480 grey image. Not a face recogniser.
#pragma once

#include <cstdint>

namespace ocuvant::simulator::face {

struct DetectedFace {
  int32_t x1, y1, x2, y2;  // face box; x2, y2 one past the last face pixel
  int32_t area;            // face pixels
  int32_t ax, ay, bx, by;  // eye centres, A the left one in the picture
  int32_t mouthY;
  int32_t pose;  // eye midpoint off the face's axis, in 1/200 of the width
  // Person features in 1/10000 of the face width or height.
  int32_t eyeSpacing, eyeRow, mouthRow;
};

// False when no face of at least 20 x 20 pixels with two eyes and a mouth is found.
bool DetectFace(const uint8_t* grey, int32_t rows, int32_t columns, DetectedFace* out);

}  // namespace ocuvant::simulator::face
