// Template builders and a scalar reference matcher for the engine tests.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/common/template_matcher.h"

namespace ocuvant::engine::testing {

using Template = std::array<uint8_t, kTemplateBytes>;

// Random template: each mask bit set with probability maskDensity, code bits fair coins.
inline Template RandomTemplate(std::mt19937& rng, double maskDensity) {
  Template t{};
  std::bernoulli_distribution mask(maskDensity);
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t i = 0; i < 2 * kPlaneBytes; ++i)
    for (int b = 0; b < 8; ++b)
      if (mask(rng)) t[i] |= static_cast<uint8_t>(1u << b);
  for (size_t i = 2 * kPlaneBytes; i < kTemplateBytes; ++i) t[i] = static_cast<uint8_t>(byte(rng));
  return t;
}

// The eye turned by k blocks: byte j of each plane = byte (j - k) mod 128 of t.
inline Template RotateBlocks(const Template& t, int k) {
  Template r{};
  for (size_t plane = 0; plane < kTemplateBytes; plane += kPlaneBytes)
    for (int j = 0; j < static_cast<int>(kPlaneBytes); ++j)
      r[plane + j] = t[plane + static_cast<size_t>(((j - k) % 128 + 128) % 128)];
  return r;
}

// Flips `count` code bits of t that are usable in both t and `other`, from bit 0 upwards.
inline void FlipCommonCodeBits(Template& t, const Template& other, int count) {
  for (size_t i = 0; i < 2 * kPlaneBytes && count > 0; ++i)
    for (int b = 0; b < 8 && count > 0; ++b)
      if ((t[i] & other[i] >> b & 1) && (t[i] >> b & 1)) {
        t[i + 2 * kPlaneBytes] ^= static_cast<uint8_t>(1u << b);
        --count;
      }
}

// Scalar reference: byte-wise BitCount8 and 16-bit BitCount16 counts, a fresh root per
// comparison, rotation by the index formula.
struct RefResult {
  int32_t index = -1;
  float score = 1.0f;
  int32_t shift = 0;
  uint32_t common = 0, differing = 0;
};

inline bool RefScore(const MatchParams& p, const uint8_t* a, const uint8_t* probe, int d, float* s,
                     uint32_t* nOut = nullptr, uint32_t* dOut = nullptr) {
  static constexpr auto kCount16 = MakeBitCountTable<16>();
  uint32_t n = 0, diff = 0;
  for (int w = 0; w < 64; ++w) {
    uint32_t ma = 0, mb = 0, ca = 0, cb = 0;
    for (int byte = 0; byte < 4; ++byte) {
      const int pos = 4 * w + byte;  // little-endian word
      const int plane = pos / 128, j = pos % 128;
      const int src = plane * 128 + ((j + d) % 128 + 128) % 128;
      ma |= uint32_t{a[pos]} << (8 * byte);
      ca |= uint32_t{a[pos + 256]} << (8 * byte);
      mb |= uint32_t{probe[src]} << (8 * byte);
      cb |= uint32_t{probe[src + 256]} << (8 * byte);
    }
    const uint32_t m = ma & mb, x = (ca ^ cb) & m;
    n += kCount16[m & 0xffff] + kCount16[m >> 16];
    diff += BitCount8[x & 0xff] + BitCount8[x >> 8 & 0xff] + BitCount8[x >> 16 & 0xff] +
            BitCount8[x >> 24];
  }
  if (nOut) *nOut = n;
  if (dOut) *dOut = diff;
  if (n < p.minCommonBits) return false;
  const float h = static_cast<float>(static_cast<double>(diff) / n);
  const long double root = std::sqrt(static_cast<long double>(n) * p.normaliser);
  *s = static_cast<float>(0.5L - (0.5L - h) * root);
  return true;
}

inline RefResult RefMatch(const MatchParams& p, const std::vector<Template>& db,
                          const Template& probe) {
  RefResult best;
  for (size_t i = 0; i < db.size(); ++i)
    for (int d = -6; d <= 6; ++d) {
      float s;
      uint32_t n, diff;
      if (RefScore(p, db[i].data(), probe.data(), d, &s, &n, &diff) && s < best.score)
        best = {static_cast<int32_t>(i), s, d, n, diff};
    }
  return best;
}

inline std::vector<uint8_t> Flatten(const std::vector<Template>& db) {
  std::vector<uint8_t> bytes;
  for (const Template& t : db) bytes.insert(bytes.end(), t.begin(), t.end());
  return bytes;
}

}  // namespace ocuvant::engine::testing
