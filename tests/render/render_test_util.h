// Measurements on rendered images shared by the renderer tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "simulator/render/eye_renderer.h"

namespace ocuvant::sim::test {

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {}
  uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct EyeSize {
  const char* name;
  int width, height;
};
inline constexpr EyeSize kEyeSizes[] = {
    {"small", 960, 960}, {"big", 1280, 960}, {"q5", 1280, 1080}};

inline uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001B3ull;
  return h;
}

// Mean grey over the image points at distances [r0, r1) from (cx, cy) whose
// direction lies within `halfAngle` radians of the horizontal (both sides),
// or all round when halfAngle >= pi.
inline double RingMean(const Image& img, double cx, double cy, double r0, double r1,
                       double halfAngle = 10) {
  double sum = 0;
  long n = 0;
  for (int y = static_cast<int>(cy - r1) - 1; y <= static_cast<int>(cy + r1) + 1; ++y) {
    for (int x = static_cast<int>(cx - r1) - 1; x <= static_cast<int>(cx + r1) + 1; ++x) {
      if (x < 0 || y < 0 || x >= img.width || y >= img.height) continue;
      double d = std::hypot(x - cx, y - cy);
      if (d < r0 || d >= r1) continue;
      double a = std::atan2(std::fabs(y - cy), std::fabs(x - cx));
      if (a > halfAngle) continue;
      sum += img.at(x, y);
      ++n;
    }
  }
  return n ? sum / n : -1;
}

// Band-pass (8x8 box minus four times the central 4x4 box) power on a
// 4-pixel grid over the central part of the image, as a 0-100 figure:
// 100 P / (P + 16 n).
inline int Sharpness(const Image& img) {
  double power = 0;
  long n = 1;
  for (int y = img.height / 10; y < img.height - img.height / 10; y += 4) {
    for (int x = img.width / 7; x < img.width - img.width / 7; x += 4) {
      long s8 = 0, s4 = 0;
      for (int dy = -4; dy < 4; ++dy)
        for (int dx = -4; dx < 4; ++dx) s8 += img.at(x + dx, y + dy);
      for (int dy = -2; dy < 2; ++dy)
        for (int dx = -2; dx < 2; ++dx) s4 += img.at(x + dx, y + dy);
      long v = s8 - 4 * s4;
      power += static_cast<double>((v * v) / 256);
      if (img.at(x, y) < 255) ++n;
    }
  }
  return static_cast<int>(100 * power / (power + 16.0 * n));
}

}  // namespace ocuvant::sim::test
