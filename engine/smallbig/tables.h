// Direction, smoothing and Gabor kernel tables shared by the Small and Big engines,
// generated at compile time from their formulas.
#pragma once

#include <array>
#include <cstdint>

namespace ocuvant::engine::smallbig {

namespace detail {

inline constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Taylor series in extended precision; arguments here stay within a few periods.
constexpr long double Sin(long double x) {
  while (x > kPi) x -= 2 * kPi;
  while (x < -kPi) x += 2 * kPi;
  long double term = x, sum = x;
  for (int n = 1; n < 40; ++n) {
    term *= -x * x / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}
constexpr long double Cos(long double x) {
  return Sin(x + kPi / 2);
}

// 2^u for u <= 0, as 1 / e^(-u ln 2) so the series has no cancellation.
constexpr long double Exp2(long double u) {
  const long double x = -u * 0.693147180559945309417232121458176568L;
  long double term = 1, sum = 1;
  for (int n = 1; n < 80; ++n) {
    term *= x / n;
    sum += term;
  }
  return 1 / sum;
}

// Round half away from zero.
constexpr int32_t Round(long double v) {
  return v >= 0 ? static_cast<int32_t>(v + 0.5L) : -static_cast<int32_t>(-v + 0.5L);
}

constexpr int32_t ClampDir(int32_t v) {
  return v > 32767 ? 32767 : v;
}

constexpr std::array<int32_t, 512> MakeDir(bool sine) {
  std::array<int32_t, 512> t{};
  for (int m = 0; m < 512; ++m) {
    const long double a = 2 * kPi * m / 512;
    t[m] = ClampDir(Round(32768 * (sine ? Sin(a) : Cos(a))));
  }
  return t;
}

// 16384 * 2^(-(i-6)^2/4 - (j-c)^2/36) * carrier(pi (j-c)/6).
constexpr long double Gabor(int i, int j, int c, bool odd) {
  const long double di = i - 6, dj = j - c;
  const long double envelope = Exp2(-di * di / 4 - dj * dj / 36);
  const long double phase = kPi * dj / 6;
  return 16384 * envelope * (odd ? Sin(phase) : Cos(phase));
}

using OddKernel = std::array<std::array<int32_t, 25>, 13>;
using EvenKernel = std::array<std::array<int32_t, 31>, 13>;

constexpr OddKernel MakeOdd() {
  OddKernel k{};
  for (int i = 0; i < 13; ++i)
    for (int j = 0; j < 25; ++j) k[i][j] = Round(Gabor(i, j, 12, true));
  return k;
}

// The even kernel has its mean removed before rounding; the rounding residue is then
// taken off the centre tap so the kernel sums to exactly zero.
constexpr long double EvenMean() {
  long double sum = 0;
  for (int i = 0; i < 13; ++i)
    for (int j = 0; j < 31; ++j) sum += Gabor(i, j, 15, false);
  return sum / (13 * 31);
}

constexpr int32_t EvenResidue(const EvenKernel& k) {
  int32_t sum = 0;
  for (const auto& row : k)
    for (int32_t v : row) sum += v;
  return sum;
}

constexpr EvenKernel MakeEven() {
  EvenKernel k{};
  const long double mean = EvenMean();
  for (int i = 0; i < 13; ++i)
    for (int j = 0; j < 31; ++j) k[i][j] = Round(Gabor(i, j, 15, false) - mean);
  k[6][15] -= EvenResidue(k);
  return k;
}

}  // namespace detail

// DirX[m] = round(32768 cos(2 pi m / 512)), DirY[m] = the sine; 32768 clamps to 32767.
// m counts from +x toward +y (down on screen); indices are taken modulo 512.
inline constexpr std::array<int32_t, 512> DirX = detail::MakeDir(false);
inline constexpr std::array<int32_t, 512> DirY = detail::MakeDir(true);

// Radial edge profile smoothing kernels of circle search levels 1, 2, 3.
inline constexpr int32_t SmoothKernels[3][9] = {
    {29, 50, 73, 93, 100, 93, 73, 50, 29},
    {6, 21, 50, 84, 100, 84, 50, 21, 6},
    {0, 0, 0, 50, 100, 50, 0, 0, 0},
};

// Gabor kernels: rows radial, columns angular (carrier period 12 columns).
inline constexpr detail::OddKernel KernelOdd = detail::MakeOdd();
inline constexpr detail::EvenKernel KernelEven = detail::MakeEven();

}  // namespace ocuvant::engine::smallbig
