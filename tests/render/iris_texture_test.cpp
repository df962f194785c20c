// Iris textures carry each eye's identity at the scales an iris code reads: different
// irises share no structure, and one iris changes within a tenth of the ring width
// radially while staying smooth from one table cell to the next.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "simulator/render/eye_renderer.h"
#include "simulator/render/polar_noise.h"

namespace ocuvant::sim::test {
namespace {

constexpr int kA = Subject::kIrisAngles, kB = Subject::kIrisBands;

// The table with each band's mean removed (the radial profile every iris shares is
// not identity), over the bands of the ring proper (pupil border and limbus left out).
std::vector<double> Centred(const int16_t* table) {
  std::vector<double> v(static_cast<size_t>(kA) * kB, 0.0);
  for (int b = 8; b < kB - 16; ++b) {
    double mean = 0;
    for (int a = 0; a < kA; ++a) mean += table[b * kA + a];
    mean /= kA;
    for (int a = 0; a < kA; ++a) v[static_cast<size_t>(b) * kA + a] = table[b * kA + a] - mean;
  }
  return v;
}

double Correlation(const double* x, const double* y, size_t n) {
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = 0; i < n; ++i) xy += x[i] * y[i], xx += x[i] * x[i], yy += y[i] * y[i];
  return xy / std::sqrt(xx * yy);
}

// Correlation of the table with itself moved `bands` cells outward.
double RadialCorrelation(const std::vector<double>& v, int bands) {
  const size_t n = static_cast<size_t>(kB - 24 - bands) * kA;
  return Correlation(&v[8 * kA], &v[static_cast<size_t>(8 + bands) * kA], n);
}

TEST(IrisTexture, DifferentIrisesAreUncorrelatedAtEveryRotation) {
  std::vector<std::vector<double>> irises;
  for (uint64_t seed : {31, 32, 33})
    for (int eye = 0; eye < 2; ++eye) irises.push_back(Centred(Subject(seed).irisTable(eye)));
  const size_t n = irises[0].size();
  double worst = 0;
  for (size_t i = 0; i < irises.size(); ++i)
    for (size_t j = i + 1; j < irises.size(); ++j)
      for (int shift = -32; shift <= 32; shift += 4) {  // up to about 11 degrees either way
        std::vector<double> turned(n);
        for (int b = 0; b < kB; ++b)
          for (int a = 0; a < kA; ++a)
            turned[static_cast<size_t>(b) * kA + a] =
                irises[j][static_cast<size_t>(b) * kA + ((a + shift) & (kA - 1))];
        worst = std::max(worst, std::fabs(Correlation(irises[i].data(), turned.data(), n)));
      }
  EXPECT_LT(worst, 0.12);
}

TEST(IrisTexture, ChangesWithinATenthOfTheRingButNotFromCellToCell) {
  for (uint64_t seed : {41, 42}) {
    const std::vector<double> v = Centred(Subject(seed).irisTable(1));
    // Neighbouring cells: a capture's localisation error of a pixel or two keeps the code.
    EXPECT_GT(RadialCorrelation(v, 1), 0.9) << seed;
    // A tenth of the ring apart (the spacing of the code's radial bands): largely new texture.
    EXPECT_LT(RadialCorrelation(v, 12), 0.4) << seed;
  }
}

TEST(PolarNoise, HasTheRequestedLevelAndOnlyTheRequestedAngularFrequencies) {
  constexpr int kAngles = 256, kBands = 16;
  std::vector<float> grid(kAngles * kBands, 5.0f);
  Rng rng(7);
  AddPolarNoise(rng, PolarBand{10, 14, 20, 30, 2.0}, 3.0, grid.data(), kAngles, kBands);
  double sum2 = 0;
  for (float v : grid) sum2 += (v - 5.0) * (v - 5.0);
  EXPECT_NEAR(std::sqrt(sum2 / grid.size()), 3.0, 1e-3);
  // Angular spectrum of every band: nothing below mMin or above mMax.
  constexpr double kTwoPi = 6.283185307179586;
  for (int b = 0; b < kBands; ++b) {
    double inside = 0, outside = 0;
    for (int m = 0; m <= kAngles / 2; ++m) {
      std::complex<double> s(0, 0);
      for (int a = 0; a < kAngles; ++a)
        s += (grid[b * kAngles + a] - 5.0) * std::polar(1.0, -kTwoPi * m * a / kAngles);
      (m >= 10 && m <= 30 ? inside : outside) += std::norm(s);
    }
    EXPECT_LT(outside, 1e-9 * inside) << "band " << b;
  }
  // Another seed, another texture.
  std::vector<float> other(grid.size(), 5.0f);
  Rng rng2(8);
  AddPolarNoise(rng2, PolarBand{10, 14, 20, 30, 2.0}, 3.0, other.data(), kAngles, kBands);
  std::vector<double> x(grid.begin(), grid.end()), y(other.begin(), other.end());
  for (size_t i = 0; i < x.size(); ++i) x[i] -= 5.0, y[i] -= 5.0;
  EXPECT_LT(std::fabs(Correlation(x.data(), y.data(), x.size())), 0.2);
}

}  // namespace
}  // namespace ocuvant::sim::test
