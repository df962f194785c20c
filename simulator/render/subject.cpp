// A synthetic person: iris textures of both eyes in polar form (angle x
// normalised radius from pupil border to limbus), a periodic skin tile and
// the lash patterns of both lids, all built once from the seed.
#include <algorithm>
#include <cmath>

#include "simulator/render/eye_renderer.h"
#include "simulator/render/random.h"

namespace ocuvant::sim {
namespace {

double SmoothStep(double e0, double e1, double v) {
  double t = std::clamp((v - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Angular distance in cycles, wrapped to [-0.5, 0.5).
double WrapCycles(double d) {
  return d - std::floor(d + 0.5);
}

// One iris in polar form; values in grey levels around the iris level.
void BuildIris(uint64_t seed, std::vector<int16_t>& out) {
  constexpr int kA = Subject::kIrisAngles, kB = Subject::kIrisBands;
  Rng rng(seed);
  const auto s = [&] { return static_cast<uint32_t>(rng.Next()); };
  const uint32_t sWarp = s(), sF1 = s(), sF2 = s(), sF3 = s(), sCol = s(), sRuff = s(), sZone = s();
  const double fibreAmp = rng.Uniform(26, 38);
  const double collarette = rng.Uniform(0.26, 0.40);
  const double collAmp = rng.Uniform(8, 18);
  const double pupilZone = rng.Uniform(-12, 8);
  const double limbusDark = rng.Uniform(22, 38);
  const double slope = rng.Uniform(-10, 10);
  std::vector<float> v(static_cast<size_t>(kA) * kB);
  for (int b = 0; b < kB; ++b) {
    double t = (b + 0.5) / kB;
    for (int a = 0; a < kA; ++a) {
      double c = static_cast<double>(a) / kA;  // cycles
      // Fibres: strands along the radius, gently curving with the radius.
      double u = c + 0.012 * t * ValueNoise(c * 10, t * 2, 10, 1 << 20, sWarp);
      double n1 = ValueNoise(u * 40, t * 1.5, 40, 1 << 20, sF1);
      double n2 = ValueNoise(u * 96, t * 2.2, 96, 1 << 20, sF2);
      double n3 = ValueNoise(u * 176, t * 3.5, 176, 1 << 20, sF3);
      double ridge = 0.6 - 2.0 * std::fabs(n2);  // bright strands with dark gaps
      double fibres = 0.5 * n1 + 0.45 * ridge + 0.3 * n3;
      double tc = collarette + 0.05 * ValueNoise(c * 12, 0.5, 12, 1 << 20, sCol) +
                  0.015 * ValueNoise(c * 40, 1.5, 40, 1 << 20, sCol ^ 77u);
      double inner = 1.0 - SmoothStep(tc - 0.03, tc + 0.01, t);  // pupillary zone
      double val = fibreAmp * fibres * (1.0 - 0.45 * inner);
      val += pupilZone * inner + 0.4 * pupilZone * ValueNoise(c * 24, t * 5, 24, 1 << 20, sZone);
      val += collAmp * std::exp(-((t - tc) * (t - tc)) / (0.028 * 0.028));
      val += slope * (t - 0.5);
      double ruff = 0.035 + 0.02 * ValueNoise(c * 64, 0.5, 64, 1 << 20, sRuff);
      val -= 22.0 * (1.0 - SmoothStep(ruff - 0.01, ruff + 0.01, t));
      double limbus = SmoothStep(0.78, 1.0, t);
      val -= limbusDark * limbus * std::sqrt(limbus);
      v[static_cast<size_t>(b) * kA + a] = static_cast<float>(val);
    }
  }
  // Crypts: dark lacunae, mostly around the collarette.
  int crypts = 8 + static_cast<int>(rng.Uniform() * 14);
  for (int i = 0; i < crypts; ++i) {
    double ct =
        rng.Uniform() < 0.7 ? collarette + rng.Uniform(-0.08, 0.2) : rng.Uniform(0.45, 0.85);
    double cc = rng.Uniform();
    double st = rng.Uniform(0.05, 0.14), sc = rng.Uniform(0.004, 0.016);
    double depth = rng.Uniform(18, 42);
    uint32_t edge = s();
    int b0 = std::max(0, static_cast<int>((ct - 1.6 * st) * kB));
    int b1 = std::min(kB - 1, static_cast<int>((ct + 1.6 * st) * kB) + 1);
    int half = static_cast<int>(1.6 * sc * kA) + 1;
    int a0 = static_cast<int>(cc * kA);
    for (int b = b0; b <= b1; ++b) {
      double dt = ((b + 0.5) / kB - ct) / st;
      for (int da = -half; da <= half; ++da) {
        int a = (a0 + da) & (kA - 1);
        double dc = WrapCycles(static_cast<double>(a) / kA - cc) / sc;
        double w = 1.0 - (dt * dt + dc * dc) +
                   0.45 * ValueNoise(dc * 2 + 9, dt * 2 + 9, 1 << 20, 1 << 20, edge);
        float& cell = v[static_cast<size_t>(b) * kA + a];
        if (w > 0) {
          cell -= static_cast<float>(depth * SmoothStep(0.0, 0.35, w));
        } else if (w > -0.6) {
          cell += static_cast<float>(0.25 * depth * (1.0 + w / 0.6));  // raised rim
        }
      }
    }
  }
  // Contraction furrows: thin dark arcs in the outer zone.
  int furrows = 2 + static_cast<int>(rng.Uniform() * 5);
  for (int i = 0; i < furrows; ++i) {
    double ft = rng.Uniform(0.55, 0.9), start = rng.Uniform(), span = rng.Uniform(0.08, 0.45);
    double width = rng.Uniform(0.008, 0.018), depth = rng.Uniform(8, 18);
    uint32_t wob = s();
    for (int a = 0; a < kA; ++a) {
      double along = WrapCycles(static_cast<double>(a) / kA - start - span / 2) / (span / 2);
      if (std::fabs(along) >= 1) continue;
      double tt = ft + 0.02 * ValueNoise(static_cast<double>(a) / kA * 16, 0.5, 16, 1 << 20, wob);
      double fade = 1.0 - along * along;
      for (int b = 0; b < kB; ++b) {
        double d = ((b + 0.5) / kB - tt) / width;
        if (std::fabs(d) < 3) {
          v[static_cast<size_t>(b) * kA + a] -= static_cast<float>(depth * fade * std::exp(-d * d));
        }
      }
    }
  }
  out.resize(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    out[i] = static_cast<int16_t>(std::lround(std::clamp(v[i], -120.0f, 120.0f) * 16));
  }
}

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
