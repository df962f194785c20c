// Iris texture in polar form. Everything that gives the iris its identity is
// drawn from the seed: the stroma is band-limited noise with random amplitudes
// and phases per angular and radial frequency, and the features on top of it
// (collarette, crypts, furrows) are placed and modulated at random, so two
// irises share no structure at the scales an iris code reads (about 10 to 60
// cycles per turn, a tenth of the ring width radially). The only profile common
// to every iris is the smooth radial one (darker ruff at the pupil, darker rim
// at the limbus), which carries no angular structure.
#include "simulator/render/iris_texture.h"

#include <algorithm>
#include <cmath>

#include "simulator/render/eye_renderer.h"
#include "simulator/render/polar_noise.h"
#include "simulator/render/random.h"

namespace ocuvant::sim {
namespace {

constexpr int kA = Subject::kIrisAngles, kB = Subject::kIrisBands;

double SmoothStep(double e0, double e1, double v) {
  double t = std::clamp((v - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Angular distance in cycles, wrapped to [-0.5, 0.5).
double WrapCycles(double d) {
  return d - std::floor(d + 0.5);
}

float& Cell(std::vector<float>& v, int b, int a) {
  return v[static_cast<size_t>(b) * kA + a];
}

// Crypts: dark lacunae with a slightly raised rim, mostly around the collarette.
void AddCrypts(Rng& rng, double collarette, std::vector<float>& v) {
  const int crypts = 8 + static_cast<int>(rng.Uniform() * 14);
  for (int i = 0; i < crypts; ++i) {
    double ct =
        rng.Uniform() < 0.7 ? collarette + rng.Uniform(-0.08, 0.2) : rng.Uniform(0.45, 0.85);
    double cc = rng.Uniform();
    double st = rng.Uniform(0.03, 0.09), sc = rng.Uniform(0.004, 0.016);
    double depth = rng.Uniform(18, 42);
    uint32_t edge = static_cast<uint32_t>(rng.Next());
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
        if (w > 0) {
          Cell(v, b, a) -= static_cast<float>(depth * SmoothStep(0.0, 0.35, w));
        } else if (w > -0.6) {
          Cell(v, b, a) += static_cast<float>(0.25 * depth * (1.0 + w / 0.6));
        }
      }
    }
  }
}

// Contraction furrows: thin dark arcs in the outer zone.
void AddFurrows(Rng& rng, std::vector<float>& v) {
  const int furrows = 2 + static_cast<int>(rng.Uniform() * 5);
  for (int i = 0; i < furrows; ++i) {
    double ft = rng.Uniform(0.55, 0.9), start = rng.Uniform(), span = rng.Uniform(0.08, 0.45);
    double width = rng.Uniform(0.008, 0.018), depth = rng.Uniform(8, 18);
    uint32_t wob = static_cast<uint32_t>(rng.Next());
    for (int a = 0; a < kA; ++a) {
      double along = WrapCycles(static_cast<double>(a) / kA - start - span / 2) / (span / 2);
      if (std::fabs(along) >= 1) continue;
      double tt = ft + 0.02 * ValueNoise(static_cast<double>(a) / kA * 16, 0.5, 16, 1 << 20, wob);
      double fade = 1.0 - along * along;
      for (int b = 0; b < kB; ++b) {
        double d = ((b + 0.5) / kB - tt) / width;
        if (std::fabs(d) < 3) Cell(v, b, a) -= static_cast<float>(depth * fade * std::exp(-d * d));
      }
    }
  }
}

}  // namespace

void BuildIris(uint64_t seed, std::vector<int16_t>& out) {
  Rng rng(seed);
  const uint32_t sCol = static_cast<uint32_t>(rng.Next()),
                 sRing = static_cast<uint32_t>(rng.Next());
  const uint32_t sRuff = static_cast<uint32_t>(rng.Next()),
                 sZone = static_cast<uint32_t>(rng.Next());
  const double stromaRms = rng.Uniform(10, 14);
  const double fibreRms = rng.Uniform(6, 9);
  const double shadingRms = rng.Uniform(2, 4);
  const double collarette = rng.Uniform(0.26, 0.40);
  const double collAmp = rng.Uniform(8, 16);
  const double pupilZone = rng.Uniform(-12, 8);
  const double limbusDark = rng.Uniform(22, 38);
  const double slope = rng.Uniform(-10, 10);

  // Stroma: blotches a few degrees wide and a tenth of the ring deep, the scale an
  // iris code reads; fine radial fibres above it; broad sector shading below it.
  std::vector<float> stroma(static_cast<size_t>(kA) * kB, 0.0f), fibres(stroma.size(), 0.0f);
  AddPolarNoise(rng, PolarBand{3, 8, 48, 80, 6.0}, stromaRms, stroma.data(), kA, kB);
  AddPolarNoise(rng, PolarBand{1, 2, 4, 8, 1.0}, shadingRms, stroma.data(), kA, kB);
  AddPolarNoise(rng, PolarBand{60, 90, 150, 200, 0.8}, fibreRms, fibres.data(), kA, kB);

  std::vector<float> v(stroma.size());
  for (int b = 0; b < kB; ++b) {
    const double t = (b + 0.5) / kB;
    for (int a = 0; a < kA; ++a) {
      const double c = static_cast<double>(a) / kA;  // cycles
      const size_t i = static_cast<size_t>(b) * kA + a;
      // Collarette: a wavy ridge between the pupillary zone and the ciliary zone whose
      // strength (and even sign) wanders along it.
      const double tc = collarette + 0.05 * ValueNoise(c * 12, 0.5, 12, 1 << 20, sCol) +
                        0.015 * ValueNoise(c * 40, 1.5, 40, 1 << 20, sCol ^ 77u);
      const double ring = 0.4 + 0.9 * ValueNoise(c * 10, 0.5, 10, 1 << 20, sRing);
      const double inner = 1.0 - SmoothStep(tc - 0.03, tc + 0.01, t);  // pupillary zone
      double val = stroma[i] + fibres[i] * (1.0 - 0.45 * inner);
      val += pupilZone * inner + 0.4 * pupilZone * ValueNoise(c * 24, t * 5, 24, 1 << 20, sZone);
      val += collAmp * ring * std::exp(-((t - tc) * (t - tc)) / (0.028 * 0.028));
      val += slope * (t - 0.5);
      // Pupillary ruff and the darker rim at the limbus.
      const double ruff = 0.035 + 0.02 * ValueNoise(c * 64, 0.5, 64, 1 << 20, sRuff);
      val -= 22.0 * (1.0 - SmoothStep(ruff - 0.01, ruff + 0.01, t));
      const double limbus = SmoothStep(0.78, 1.0, t);
      val -= limbusDark * limbus * std::sqrt(limbus);
      v[i] = static_cast<float>(val);
    }
  }
  AddCrypts(rng, collarette, v);
  AddFurrows(rng, v);
  out.resize(v.size());
  for (size_t i = 0; i < v.size(); ++i)
    out[i] = static_cast<int16_t>(std::lround(std::clamp(v[i], -120.0f, 120.0f) * 16));
}

}  // namespace ocuvant::sim
