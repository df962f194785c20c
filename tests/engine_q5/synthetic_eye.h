// Simple synthetic 1280 x 1080 eye images for the Q5 engine tests: a flat dark pupil with
// a glint, a textured iris whose pattern turns with the eye, sclera, skin and noise.
#pragma once

#include <cstdint>
#include <vector>

namespace ocuvant::engine::q5::test {

struct SyntheticEye {
  double pupilX = 640, pupilY = 540, pupilRadius = 45;
  double irisX = 640, irisY = 540, irisRadius = 120;
  double rotationDegrees = 0;  // turns the iris pattern
  uint64_t irisSeed = 1;       // same seed, same iris
  uint64_t noiseSeed = 1;      // sensor noise per capture
  int pupilLevel = 18;
  int irisLevel = 95;
  int scleraLevel = 190;
  int skinLevel = 150;
  int glintRadius = 5;
  double upperLid = -1.0;  // lid rows as offsets from the iris centre in iris radii
  double lowerLid = 1.0;   // (beyond +-1 the lids stay clear of the iris)
  bool glint = true;
};

// Renders the eye into a 1280 x 1080 buffer.
std::vector<uint8_t> RenderSynthetic(const SyntheticEye& eye);

}  // namespace ocuvant::engine::q5::test
