// A synthetic person: iris textures of both eyes, a periodic skin tile and the
// lash patterns of both lids, all built once from the seed.
#include <algorithm>
#include <cmath>

#include "simulator/render/eye_renderer.h"
#include "simulator/render/iris_texture.h"
#include "simulator/render/random.h"

namespace ocuvant::sim {
namespace {

// Periodic skin tile: shading at several scales and pores.
void BuildSkin(uint64_t seed, std::vector<int16_t>& out) {
  constexpr int kN = Subject::kSkinSize;
  Rng rng(seed);
  uint32_t so[5];
  for (uint32_t& x : so) x = static_cast<uint32_t>(rng.Next());
  const int periods[5] = {8, 16, 32, 64, 128};
  const double amps[5] = {9, 6, 5, 8, 7};
  std::vector<float> v(static_cast<size_t>(kN) * kN);
  for (int y = 0; y < kN; ++y) {
    for (int x = 0; x < kN; ++x) {
      double sum = 0;
      for (int o = 0; o < 5; ++o) {
        double f = static_cast<double>(periods[o]) / kN;
        sum += amps[o] * ValueNoise(x * f, y * f, periods[o], periods[o], so[o]);
      }
      v[static_cast<size_t>(y) * kN + x] = static_cast<float>(sum);
    }
  }
  int pores = 5200;
  for (int i = 0; i < pores; ++i) {
    double cx = rng.Uniform(0, kN), cy = rng.Uniform(0, kN);
    double r = rng.Uniform(0.8, 2.2), depth = rng.Uniform(6, 16);
    int r0 = static_cast<int>(r) + 2;
    for (int dy = -r0; dy <= r0; ++dy) {
      for (int dx = -r0; dx <= r0; ++dx) {
        int x = static_cast<int>(cx) + dx, y = static_cast<int>(cy) + dy;
        double ddx = x + 0.5 - cx, ddy = y + 0.5 - cy;
        double w = 1.0 - (ddx * ddx + ddy * ddy) / (r * r);
        if (w <= 0) continue;
        v[static_cast<size_t>(y & (kN - 1)) * kN + (x & (kN - 1))] -= static_cast<float>(depth * w);
      }
    }
  }
  out.resize(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    out[i] = static_cast<int16_t>(std::lround(std::clamp(v[i], -100.0f, 100.0f) * 16));
  }
}

// Lashes along a lid: rows go outward from the margin, cells along it (the
// renderer maps the lid position -1..1, corner to corner, onto the cells).
void BuildLashes(uint64_t seed, bool upper, std::vector<uint8_t>& out) {
  constexpr int kC = Subject::kLashAngles, kR = Subject::kLashRows;
  Rng rng(seed);
  out.assign(static_cast<size_t>(kC) * kR, 0);
  int count =
      upper ? 90 + static_cast<int>(rng.Uniform() * 60) : 40 + static_cast<int>(rng.Uniform() * 30);
  for (int i = 0; i < count; ++i) {
    double s0 = rng.Uniform(-0.9, 0.9);
    s0 = std::copysign(std::pow(std::fabs(s0) / 0.9, 1.3) * 0.9, s0);  // denser in the middle
    double len = upper ? rng.Uniform(0.5, 1.0) * kR : rng.Uniform(0.3, 0.6) * kR;
    double slope = (0.9 * s0 + rng.Uniform(-0.25, 0.25)) * (upper ? 2.2 : 1.6);  // cells per row
    double curl = rng.Uniform(-0.015, 0.03) * (s0 >= 0 ? 1 : -1);
    double dark = upper ? rng.Uniform(0.65, 0.95) : rng.Uniform(0.35, 0.6);
    double width0 = upper ? rng.Uniform(2.2, 3.6) : rng.Uniform(1.4, 2.2);
    double c0 = (s0 + 1) * 0.5 * (kC - 1);
    for (int r = 0; r < static_cast<int>(len); ++r) {
      double f = r / len;
      double c = c0 + slope * r + curl * r * r;
      double w = width0 * (1.0 - 0.7 * f);
      double d = dark * (1.0 - 0.5 * f);
      int a0 = static_cast<int>(std::floor(c - w - 1)), a1 = static_cast<int>(std::ceil(c + w + 1));
      for (int a = std::max(a0, 0); a <= std::min(a1, kC - 1); ++a) {
        double cover = std::clamp(w + 0.5 - std::fabs(a - c), 0.0, 1.0);
        uint8_t val = static_cast<uint8_t>(std::lround(255 * d * cover));
        uint8_t& cell = out[static_cast<size_t>(r) * kC + a];
        cell = std::max(cell, val);
      }
    }
  }
}

}  // namespace

Subject::Subject(uint64_t seed) : seed_(seed) {
  Rng rng(Combine(seed, 0x5B1EC7));
  skinLevel_ = rng.Uniform(150, 180);
  double iris = rng.Uniform(92, 128);
  double pupil = rng.Uniform(22, 34);
  double sclera = rng.Uniform(182, 205);
  double upper = rng.Uniform(-0.1, 0.25), lower = rng.Uniform(-0.15, 0.1);
  for (int eye = 0; eye < 2; ++eye) {
    traits_[eye].irisLevel = iris + rng.Uniform(-4, 4);
    traits_[eye].pupilLevel = pupil + rng.Uniform(-2, 2);
    traits_[eye].scleraLevel = sclera + rng.Uniform(-4, 4);
    traits_[eye].upperApexShift = upper + rng.Uniform(-0.04, 0.04);
    traits_[eye].lowerApexShift = lower + rng.Uniform(-0.04, 0.04);
    BuildIris(Combine(seed, 0x1815000 + static_cast<uint64_t>(eye)), iris_[eye]);
    BuildLashes(Combine(seed, 0x1A500 + static_cast<uint64_t>(eye)), true, lashes_[eye * 2]);
    BuildLashes(Combine(seed, 0x1A600 + static_cast<uint64_t>(eye)), false, lashes_[eye * 2 + 1]);
  }
  BuildSkin(Combine(seed, 0x5C1), skin_);
}

}  // namespace ocuvant::sim
