#include "simulator/render/image_filters.h"

#include <algorithm>
#include <cmath>

#include "simulator/render/random.h"

namespace ocuvant::sim {
namespace {

constexpr int kMaxRadius = 24;
constexpr int kLanes = 8;  // columns filtered together by the vertical pass
constexpr int kPadded = kMaxImageSide + 2 * kMaxRadius;
constexpr int kShift = 14;  // fixed-point kernel weights sum to 1 << kShift

struct Kernel {
  int radius = 0;
  int32_t w[kMaxRadius + 1] = {};  // w[0] centre, w[j] at distance j
  bool box = false;                // box of width 2 * radius + 1, applied three times
};

Kernel MakeKernel(double sigma) {
  Kernel k;
  if (sigma > 2.5) {
    k.box = true;
    k.radius = std::clamp(static_cast<int>(std::lround((std::sqrt(1 + 4 * sigma * sigma) - 1) / 2)),
                          1, kMaxRadius);
    return k;
  }
  k.radius = std::clamp(static_cast<int>(std::ceil(3 * sigma)), 1, kMaxRadius);
  double f[kMaxRadius + 1], sum = 0;
  for (int j = 0; j <= k.radius; ++j) {
    f[j] = std::exp(-0.5 * j * j / (sigma * sigma));
    sum += j == 0 ? f[j] : 2 * f[j];
  }
  int32_t total = 0;
  for (int j = 1; j <= k.radius; ++j) {
    k.w[j] = static_cast<int32_t>(std::lround(f[j] / sum * (1 << kShift)));
    total += 2 * k.w[j];
  }
  k.w[0] = (1 << kShift) - total;
  return k;
}

// Filters `Lanes` interleaved lines of n samples; src holds radius samples of
// edge padding on both ends. Writes dst[i * Lanes + c].
template <int Lanes>
void FilterLanes(const Kernel& k, const uint8_t* src, int n, uint8_t* dst) {
  const int r = k.radius;
  if (!k.box) {
    for (int i = 0; i < n; ++i) {
      const uint8_t* centre = src + (i + r) * Lanes;
      int32_t acc[Lanes];
      for (int c = 0; c < Lanes; ++c) acc[c] = k.w[0] * centre[c];
      for (int j = 1; j <= r; ++j) {
        const uint8_t* up = centre - j * Lanes;
        const uint8_t* down = centre + j * Lanes;
        for (int c = 0; c < Lanes; ++c) acc[c] += k.w[j] * (up[c] + down[c]);
      }
      for (int c = 0; c < Lanes; ++c) {
        dst[i * Lanes + c] = static_cast<uint8_t>((acc[c] + (1 << (kShift - 1))) >> kShift);
      }
    }
    return;
  }
  const int width = 2 * r + 1;
  int32_t acc[Lanes] = {};
  for (int j = 0; j < width; ++j) {
    for (int c = 0; c < Lanes; ++c) acc[c] += src[j * Lanes + c];
  }
  for (int i = 0; i < n; ++i) {
    for (int c = 0; c < Lanes; ++c) {
      dst[i * Lanes + c] = static_cast<uint8_t>((acc[c] + width / 2) / width);
    }
    if (i + 1 == n) break;
    for (int c = 0; c < Lanes; ++c) acc[c] += src[(i + width) * Lanes + c] - src[i * Lanes + c];
  }
}

void HorizontalPass(const Kernel& k, const GreyView& view, int x0, int x1) {
  uint8_t padded[kPadded];
  uint8_t out[kMaxImageSide];
  const int n = x1 - x0, r = k.radius;
  for (int y = 0; y < view.height; ++y) {
    uint8_t* row = view.Row(y) + x0;
    std::fill(padded, padded + r, row[0]);
    std::copy(row, row + n, padded + r);
    std::fill(padded + r + n, padded + 2 * r + n, row[n - 1]);
    FilterLanes<1>(k, padded, n, out);
    std::copy(out, out + n, row);
  }
}

void VerticalPass(const Kernel& k, const GreyView& view, int x0, int x1) {
  uint8_t padded[kPadded * kLanes];
  uint8_t out[kMaxImageSide * kLanes];
  const int h = view.height, r = k.radius;
  for (int xb = x0; xb < x1; xb += kLanes) {
    // A last, narrower block repeats its last column in the unused lanes.
    const int lanes = std::min(kLanes, x1 - xb);
    for (int i = 0; i < h + 2 * r; ++i) {
      const uint8_t* src = view.Row(std::clamp(i - r, 0, h - 1)) + xb;
      uint8_t* line = padded + i * kLanes;
      for (int c = 0; c < kLanes; ++c) line[c] = src[std::min(c, lanes - 1)];
    }
    FilterLanes<kLanes>(k, padded, h, out);
    for (int y = 0; y < h; ++y) {
      uint8_t* dst = view.Row(y) + xb;
      for (int c = 0; c < lanes; ++c) dst[c] = out[y * kLanes + c];
    }
  }
}

}  // namespace

void BlurBand(const GreyView& view, int x0, int x1, double sigma) {
  if (!(sigma >= 0.2) || x0 >= x1 || view.height <= 0) return;
  if (view.width > kMaxImageSide || view.height > kMaxImageSide) return;
  const Kernel k = MakeKernel(std::min(sigma, 12.0));
  const int passes = k.box ? 3 : 1;
  for (int p = 0; p < passes; ++p) {
    HorizontalPass(k, view, x0, x1);
    VerticalPass(k, view, x0, x1);
  }
}

void AddSensorNoise(const GreyView& view, int x0, int x1, double sigma, uint64_t seed) {
  if (!(sigma > 0)) return;
  const uint32_t s = static_cast<uint32_t>(Mix64(seed) ^ (Mix64(seed) >> 32));
  // Sum of four random bytes: mean 510, deviation 147.8.
  const float scale = static_cast<float>(sigma / 147.8);
  for (int y = 0; y < view.height; ++y) {
    uint8_t* row = view.Row(y);
    for (int x = x0; x < x1; ++x) {
      uint32_t h = Hash3(static_cast<uint32_t>(x), static_cast<uint32_t>(y), s);
      int g = static_cast<int>((h & 255) + ((h >> 8) & 255) + ((h >> 16) & 255) + (h >> 24)) - 510;
      float v = row[x];
      float sd = scale * (0.5f + v * (1.0f / 256));
      // Offset keeps the value positive, so truncation rounds to nearest.
      int q = static_cast<int>(v + static_cast<float>(g) * sd + 256.5f) - 256;
      row[x] = static_cast<uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
    }
  }
}

}  // namespace ocuvant::sim
