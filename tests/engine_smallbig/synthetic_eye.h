// Simple synthetic eye images: dark pupil disc with a glint, textured iris annulus, bright
// sclera, optional eyelids, all with pixel noise so the focus measures see detail.
#pragma once

#include <cstdint>
#include <vector>

namespace ocuvant::engine::smallbig::testing {

struct SyntheticEye {
  double cx = 480, cy = 480;
  double pupilR = 30, irisR = 85;
  double pupilX = -1, pupilY = -1;  // pupil centre; < 0: the iris centre
  int pupil = 25, iris = 110, sclera = 200;
  int glintDx = 6, glintDy = -4, glintR = 3, glint = 250;
  double textureAmplitude = 28;  // iris texture contrast
  double rotationBlocks = 0;     // texture rotation, in template blocks (2.8125 degrees)
  int noise = 10;                // uniform pixel noise +-noise
  int irisNoise = -1;            // noise inside the iris; < 0: as elsewhere
  uint32_t seed = 1;             // texture and noise
  uint32_t noiseSeed = 0;        // 0: same as seed
  double upperLid = -1e9;        // lid rows relative to the iris centre (none by default)
  double lowerLid = 1e9;
  int skin = 150;
};

std::vector<uint8_t> DrawEye(const SyntheticEye& eye, int width, int height);

// A uniformly filled image with optional noise.
std::vector<uint8_t> Flat(int width, int height, int level, int noise = 0, uint32_t seed = 1);

}  // namespace ocuvant::engine::smallbig::testing
