// Deterministic random numbers for the renderer: a seeded generator for
// building subjects and a stateless hash for per-pixel sensor noise.
#pragma once

#include <cmath>
#include <cstdint>

namespace ocuvant::sim {

constexpr uint64_t Mix64(uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

constexpr uint64_t Combine(uint64_t a, uint64_t b) {
  return Mix64(a ^ Mix64(b));
}

// splitmix64 stream.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // Approximately normal (sum of four uniforms), mean 0, deviation 1.
  double Normal() {
    double s = Uniform() + Uniform() + Uniform() + Uniform();
    return (s - 2.0) * 1.7320508075688772;
  }

 private:
  uint64_t state_;
};

// Stateless 32-bit hash of a lattice point, for value noise and pixel noise.
constexpr uint32_t Hash3(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = seed ^ (x * 0x27D4EB2Du) ^ (y * 0x165667B1u);
  h ^= h >> 15;
  h *= 0x85EBCA77u;
  h ^= h >> 13;
  h *= 0xC2B2AE3Du;
  h ^= h >> 16;
  return h;
}

// Smooth value noise on a lattice that wraps with period (px, py) cells,
// sampled at (x, y) in cell units; result in [-1, 1].
inline double ValueNoise(double x, double y, int px, int py, uint32_t seed) {
  double fx = std::floor(x), fy = std::floor(y);
  double tx = x - fx, ty = y - fy;
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  auto wrap = [](int v, int p) { return static_cast<uint32_t>(((v % p) + p) % p); };
  uint32_t x0 = wrap(ix, px), x1 = wrap(ix + 1, px), y0 = wrap(iy, py), y1 = wrap(iy + 1, py);
  auto val = [&](uint32_t a, uint32_t b) {
    return static_cast<double>(Hash3(a, b, seed) >> 8) * (2.0 / 16777216.0) - 1.0;
  };
  double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  double top = val(x0, y0) + (val(x1, y0) - val(x0, y0)) * sx;
  double bottom = val(x0, y1) + (val(x1, y1) - val(x0, y1)) * sx;
  return top + (bottom - top) * sy;
}

}  // namespace ocuvant::sim
