// Constant tables of the Q5 engine: direction tables, smoothing kernels and the two
// Gabor kernels, all generated at compile time from their formulas. These belong to the
// Q5 module alone; the Small and Big engines have their own tables of the same names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/q5/q5_constexpr_math.h"

namespace ocuvant::engine::q5 {

// ---- Directions: m = 0 right, 128 down, 256 left, 384 up; indices modulo 512 ----------

inline constexpr int kDirections = 512;

namespace tables_detail {

// floor(32768 v + 0.5), limited to 32767 (cos 0 = 1 would give 32768).
constexpr int32_t Q15(double v) {
  const double q = cmath::Floor(32768.0 * v + 0.5);
  return q > 32767.0 ? 32767 : static_cast<int32_t>(q);
}

constexpr std::array<int32_t, kDirections> MakeDir(bool sine) {
  std::array<int32_t, kDirections> t{};
  for (int m = 0; m < kDirections; ++m) {
    const double phi = 2.0 * cmath::kPi * m / kDirections;
    t[m] = Q15(sine ? cmath::Sin(phi) : cmath::Cos(phi));
  }
  return t;
}

}  // namespace tables_detail

inline constexpr std::array<int32_t, kDirections> DirX = tables_detail::MakeDir(false);
inline constexpr std::array<int32_t, kDirections> DirY = tables_detail::MakeDir(true);

// ---- Radial smoothing kernels of StepPeak -------------------------------------------------

using SmoothKernel = std::array<int32_t, 9>;
inline constexpr std::array<SmoothKernel, 3> SmoothKernels = {{
    {29, 50, 73, 93, 100, 93, 73, 50, 29},
    {6, 21, 50, 84, 100, 84, 50, 21, 6},
    {0, 0, 0, 50, 100, 50, 0, 0, 0},
}};
inline constexpr const SmoothKernel& kS1 = SmoothKernels[0];
inline constexpr const SmoothKernel& kS2 = SmoothKernels[1];
inline constexpr const SmoothKernel& kS3 = SmoothKernels[2];

// ---- Gabor kernels: rows radial (sigma^2 = 8/ln2), columns angular (32/ln2), carrier of
// 16 columns along the angle --------------------------------------------------------------

inline constexpr int kKernelRows = 21;
inline constexpr int kOddCols = 33;
inline constexpr int kEvenCols = 41;

template <int Cols>
using Kernel = std::array<std::array<int16_t, static_cast<size_t>(Cols)>, kKernelRows>;

namespace tables_detail {

// 16384 * 2^(-(r-10)^2/16) * 2^(-(c-cc)^2/64): one exact power of two per tap.
constexpr double Envelope(int r, int c, int cc) {
  const int dr = r - 10, dc = c - cc;
  return 16384.0 * cmath::Exp2(-static_cast<double>(4 * dr * dr + dc * dc) / 64.0);
}

constexpr double Carrier(int dc, bool odd) {
  const double a = 2.0 * cmath::kPi * dc / 16.0;
  return odd ? cmath::Sin(a) : cmath::Cos(a);
}

constexpr Kernel<kOddCols> MakeKernelOdd() {
  Kernel<kOddCols> k{};
  for (int r = 0; r < kKernelRows; ++r)
    for (int c = 0; c < kOddCols; ++c)
      k[r][c] = static_cast<int16_t>(cmath::Round(Envelope(r, c, 16) * Carrier(c - 16, true)));
  return k;
}

// Mean removed, then the centre tap takes up the rounding so the taps sum to exactly 0.
constexpr Kernel<kEvenCols> MakeKernelEven() {
  double mean = 0;
  for (int r = 0; r < kKernelRows; ++r)
    for (int c = 0; c < kEvenCols; ++c) mean += Envelope(r, c, 20) * Carrier(c - 20, false);
  mean /= kKernelRows * kEvenCols;
  Kernel<kEvenCols> k{};
  int32_t sum = 0;
  for (int r = 0; r < kKernelRows; ++r)
    for (int c = 0; c < kEvenCols; ++c) {
      k[r][c] =
          static_cast<int16_t>(cmath::Round(Envelope(r, c, 20) * Carrier(c - 20, false) - mean));
      sum += k[r][c];
    }
  k[10][20] = static_cast<int16_t>(k[10][20] - sum);
  return k;
}

}  // namespace tables_detail

inline constexpr Kernel<kOddCols> KernelOdd = tables_detail::MakeKernelOdd();
inline constexpr Kernel<kEvenCols> KernelEven = tables_detail::MakeKernelEven();

}  // namespace ocuvant::engine::q5
