#include "capture/bgr_conversion.h"

#include <array>

namespace ocuvant::capture {
namespace {

// BT.601 limited range in 8.8 fixed point: 298 (Y - 16) + 128 and the chroma terms.
constexpr std::array<int, 256> MakeTable(int scale, int offset, int bias) {
  std::array<int, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = scale * (i - offset) + bias;
  return t;
}
constexpr std::array<int, 256> kLuma = MakeTable(298, 16, 128);
constexpr std::array<int, 256> kBlueU = MakeTable(516, 128, 0);
constexpr std::array<int, 256> kGreenU = MakeTable(-100, 128, 0);
constexpr std::array<int, 256> kGreenV = MakeTable(-208, 128, 0);
constexpr std::array<int, 256> kRedV = MakeTable(409, 128, 0);

inline uint8_t Clip(int v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline void Pixel(int luma, int blue, int green, int red, uint8_t* bgr) {
  bgr[0] = Clip((luma + blue) >> 8);
  bgr[1] = Clip((luma + green) >> 8);
  bgr[2] = Clip((luma + red) >> 8);
}

}  // namespace

void YuvToBgr(int y, int u, int v, uint8_t* bgr) {
  Pixel(kLuma[y & 255], kBlueU[u & 255], kGreenU[u & 255] + kGreenV[v & 255], kRedV[v & 255], bgr);
}

void ConvertYuyvToBgrBottomUp(const uint8_t* src, size_t srcStride, int width, int height,
                              uint8_t* dst, size_t dstStride) {
  for (int row = 0; row < height; ++row) {
    const uint8_t* s = src + static_cast<size_t>(row) * srcStride;
    uint8_t* d = dst + static_cast<size_t>(height - 1 - row) * dstStride;
    for (int x = 0; x + 1 < width; x += 2, s += 4, d += 6) {
      const int blue = kBlueU[s[1]];
      const int green = kGreenU[s[1]] + kGreenV[s[3]];
      const int red = kRedV[s[3]];
      Pixel(kLuma[s[0]], blue, green, red, d);
      Pixel(kLuma[s[2]], blue, green, red, d + 3);
    }
  }
}

}  // namespace ocuvant::capture
