// Compile-time sine, cosine and powers of two for the Q5 engine's constant tables.
// Accurate to a few units in the last place of a double, which is all the rounding of
// the tables needs (their values never sit on a rounding boundary).
#pragma once

namespace ocuvant::engine::q5::cmath {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kLn2 = 0.69314718055994530942;

constexpr double Floor(double x) {
  const auto t = static_cast<long long>(x);
  return (static_cast<double>(t) > x) ? static_cast<double>(t - 1) : static_cast<double>(t);
}

// Nearest integer, halves away from zero (symmetric, so odd kernels keep a zero sum).
constexpr double Round(double x) {
  return x >= 0 ? Floor(x + 0.5) : -Floor(-x + 0.5);
}

// Taylor series after reduction to [-pi, pi]; odd in x, so Sin(-x) == -Sin(x) exactly.
constexpr double Sin(double x) {
  if (x > kPi) x -= 2 * kPi;
  if (x < -kPi) x += 2 * kPi;
  double term = x, sum = x;
  for (int n = 1; n < 30; ++n) {
    term *= -x * x / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

// Even in x, so Cos(-x) == Cos(x) exactly.
constexpr double Cos(double x) {
  if (x > kPi) x -= 2 * kPi;
  if (x < -kPi) x += 2 * kPi;
  double term = 1, sum = 1;
  for (int n = 1; n < 30; ++n) {
    term *= -x * x / ((2 * n - 1) * (2 * n));
    sum += term;
  }
  return sum;
}

// 2^y: exact power for the integer part, series for the fraction in [0, 1).
constexpr double Exp2(double y) {
  const double whole = Floor(y);
  const double r = (y - whole) * kLn2;
  double term = 1, sum = 1;
  for (int n = 1; n < 25; ++n) {
    term *= r / n;
    sum += term;
  }
  double scale = 1;
  for (long long i = static_cast<long long>(whole); i > 0; --i) scale *= 2;
  for (long long i = static_cast<long long>(whole); i < 0; ++i) scale *= 0.5;
  return sum * scale;
}

}  // namespace ocuvant::engine::q5::cmath
