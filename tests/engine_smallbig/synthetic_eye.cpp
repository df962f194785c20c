#include "synthetic_eye.h"

#include <algorithm>
#include <cmath>

namespace ocuvant::engine::smallbig::testing {

namespace {

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// Deterministic noise in [-amp, amp].
int Noise(uint32_t seed, int x, int y, int amp) {
  if (amp == 0) return 0;
  const uint32_t h = Hash(seed * 0x9e3779b9U ^ Hash(static_cast<uint32_t>(x) * 73856093U ^
                                                    static_cast<uint32_t>(y) * 19349663U));
  return static_cast<int>(h % static_cast<uint32_t>(2 * amp + 1)) - amp;
}

}  // namespace

std::vector<uint8_t> DrawEye(const SyntheticEye& e, int width, int height) {
  std::vector<uint8_t> img(static_cast<size_t>(width) * height);
  const double px = e.pupilX < 0 ? e.cx : e.pupilX, py = e.pupilY < 0 ? e.cy : e.pupilY;
  const uint32_t noiseSeed = e.noiseSeed ? e.noiseSeed : e.seed;
  // Iris texture: a sum of angular waves whose phase drifts with the radius.
  double freq[6], phase[6], drift[6];
  for (int i = 0; i < 6; ++i) {
    const uint32_t h = Hash(e.seed * 31 + i);
    freq[i] = 6 + (h % 23);
    phase[i] = (h >> 8) % 628 / 100.0;
    drift[i] = ((h >> 20) % 200) / 100.0 - 1.0;
  }
  const double rotation = e.rotationBlocks * 2 * M_PI / 128;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = x - e.cx, dy = y - e.cy;
      const double ri = std::hypot(dx, dy);
      double v;
      if (std::hypot(x - px, y - py) <= e.pupilR) {
        v = e.pupil;
        if (std::hypot(x - px - e.glintDx, y - py - e.glintDy) <= e.glintR) v = e.glint;
      } else if (ri <= e.irisR) {
        // Screen angle runs clockwise; the template's blocks run counter-clockwise.
        const double theta = std::atan2(dy, dx) + rotation;
        const double t = (ri - e.pupilR) / (e.irisR - e.pupilR);
        double tex = 0;
        for (int i = 0; i < 6; ++i) tex += std::sin(freq[i] * theta + phase[i] + 7 * drift[i] * t);
        v = e.iris + e.textureAmplitude * tex / 2.5;
      } else {
        v = e.sclera;
      }
      const bool inIris = ri <= e.irisR && std::hypot(x - px, y - py) > e.pupilR;
      if (y - e.cy < e.upperLid || y - e.cy > e.lowerLid) v = e.skin;
      v += Noise(noiseSeed, x, y, inIris && e.irisNoise >= 0 ? e.irisNoise : e.noise);
      img[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
  }
  return img;
}

std::vector<uint8_t> Flat(int width, int height, int level, int noise, uint32_t seed) {
  std::vector<uint8_t> img(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      img[static_cast<size_t>(y) * width + x] =
          static_cast<uint8_t>(std::clamp(level + Noise(seed, x, y, noise), 0, 255));
  return img;
}

}  // namespace ocuvant::engine::smallbig::testing
