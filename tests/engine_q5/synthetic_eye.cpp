#include "synthetic_eye.h"

#include <algorithm>
#include <cmath>

namespace ocuvant::engine::q5::test {

namespace {

constexpr int kW = 1280, kH = 1080;

uint64_t Mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
  return x ^ (x >> 31);
}

double Uniform(uint64_t& state) {
  return (Mix(state++) >> 11) * (1.0 / 9007199254740992.0);
}

double Gauss(uint64_t& state) {
  const double u = std::max(Uniform(state), 1e-12), v = Uniform(state);
  return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * v);
}

}  // namespace

std::vector<uint8_t> RenderSynthetic(const SyntheticEye& e) {
  // Iris pattern: a sum of angular/radial waves fixed by the iris seed.
  struct Wave {
    int angular;
    double radial, phase, amp;
  };
  Wave waves[24];
  uint64_t is = e.irisSeed * 7919 + 17;
  for (Wave& w : waves) {
    w.angular = 8 + static_cast<int>(Uniform(is) * 40);
    w.radial = 1 + Uniform(is) * 6;
    w.phase = Uniform(is) * 6.283185307179586;
    w.amp = 2 + Uniform(is) * 4;
  }
  std::vector<uint8_t> img(static_cast<size_t>(kW) * kH);
  uint64_t ns = e.noiseSeed * 104729 + 3;
  const double rot = e.rotationDegrees * 3.141592653589793 / 180;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const double dxi = x - e.irisX, dyi = y - e.irisY;
      const double di = std::sqrt(dxi * dxi + dyi * dyi);
      const double dxp = x - e.pupilX, dyp = y - e.pupilY;
      const double dp = std::sqrt(dxp * dxp + dyp * dyp);
      double v, noise;
      const double lidY = (y - e.irisY) / e.irisRadius;
      if (lidY < e.upperLid || lidY > e.lowerLid) {
        v = e.skinLevel;
        noise = 14;
      } else if (e.glint && dp <= e.glintRadius) {
        v = 255;
        noise = 0;
      } else if (dp <= e.pupilRadius) {
        v = e.pupilLevel;
        noise = 2;
      } else if (di <= e.irisRadius) {
        const double t = (dp - e.pupilRadius) / (e.irisRadius - e.pupilRadius);
        const double a = std::atan2(dyi, dxi) - rot;
        v = e.irisLevel;
        for (const Wave& w : waves)
          v += w.amp * std::sin(w.angular * a + w.radial * 6.28 * t + w.phase);
        noise = 3;
      } else if (di <= 2.3 * e.irisRadius) {
        v = e.scleraLevel;
        noise = 12;
      } else {
        v = e.skinLevel;
        noise = 14;
      }
      v += noise * Gauss(ns);
      img[static_cast<size_t>(y) * kW + x] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
  return img;
}

}  // namespace ocuvant::engine::q5::test
