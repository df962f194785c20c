// Spectral synthesis: for each radial cell the angular spectrum is assembled from
// the random 2-D coefficients, then one inverse FFT gives the row.
#include "simulator/render/polar_noise.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace ocuvant::sim {
namespace {

using Complex = std::complex<double>;
constexpr double kTwoPi = 6.283185307179586;

// In-place inverse FFT (no 1/n scaling) of a power-of-two length.
void InverseFft(std::vector<Complex>& x, const std::vector<Complex>& twiddle) {
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j |= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const size_t step = n / len;
    for (size_t i = 0; i < n; i += len)
      for (size_t k = 0; k < len / 2; ++k) {
        const Complex u = x[i + k], v = x[i + k + len / 2] * twiddle[k * step];
        x[i + k] = u + v;
        x[i + k + len / 2] = u - v;
      }
  }
}

double Taper(double v, double e0, double e1) {
  if (e1 <= e0) return v >= e1 ? 1.0 : 0.0;
  const double t = std::clamp((v - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

}  // namespace

void AddPolarNoise(Rng& rng, const PolarBand& band, double rms, float* grid, int angles,
                   int bands) {
  const int nMax = static_cast<int>(std::ceil(3 * band.nSigma));
  const int mCount = band.mMax - band.mMin + 1, nCount = 2 * nMax + 1;
  if (mCount <= 0 || angles < 2 * band.mMax + 2) return;
  // Coefficients: complex normal, weighted by the spectral envelope.
  std::vector<Complex> coeff(static_cast<size_t>(mCount) * nCount);
  for (int m = band.mMin; m <= band.mMax; ++m) {
    const double wm = Taper(m, band.mMin, band.mLo) * (1.0 - Taper(m, band.mHi, band.mMax));
    for (int n = -nMax; n <= nMax; ++n) {
      const double q = band.nSigma > 0 ? n / band.nSigma : (n == 0 ? 0.0 : 1e9);
      const double w = wm * std::exp(-0.5 * q * q);
      const double re = rng.Normal(), im = rng.Normal();
      coeff[static_cast<size_t>(m - band.mMin) * nCount + (n + nMax)] = Complex(re, im) * w;
    }
  }
  std::vector<Complex> twiddle(static_cast<size_t>(angles) / 2), row(angles), radial(nCount);
  for (size_t k = 0; k < twiddle.size(); ++k)
    twiddle[k] = std::polar(1.0, kTwoPi * static_cast<double>(k) / angles);
  std::vector<double> values(static_cast<size_t>(angles) * bands);
  double sum2 = 0;
  for (int b = 0; b < bands; ++b) {
    const double t = (b + 0.5) / bands;
    for (int n = -nMax; n <= nMax; ++n) radial[n + nMax] = std::polar(1.0, kTwoPi * n * t);
    std::fill(row.begin(), row.end(), Complex(0, 0));
    for (int m = band.mMin; m <= band.mMax; ++m) {
      const Complex* c = &coeff[static_cast<size_t>(m - band.mMin) * nCount];
      Complex s(0, 0);
      for (int i = 0; i < nCount; ++i) s += c[i] * radial[i];
      row[m] = s;
    }
    InverseFft(row, twiddle);
    for (int a = 0; a < angles; ++a) {
      const double v = 2 * row[a].real();
      values[static_cast<size_t>(b) * angles + a] = v;
      sum2 += v * v;
    }
  }
  if (sum2 <= 0) return;
  const double scale = rms / std::sqrt(sum2 / values.size());
  for (size_t i = 0; i < values.size(); ++i) grid[i] += static_cast<float>(values[i] * scale);
}

}  // namespace ocuvant::sim
