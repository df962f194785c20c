#include "engine/smallbig/running_sums.h"

namespace ocuvant::engine::smallbig {

namespace {

// The same sums with the S running totals held in registers: the plain loop reads each
// total back from the row it has just written, a store-to-load chain per element.
template <int S>
void StridedPrefixFixed(const uint8_t* row, int width, int32_t* prefix) {
  int32_t total[S] = {};
  int c = 0;
  for (; c + S <= width; c += S)
    for (int k = 0; k < S; ++k) {
      total[k] += row[c + k];
      prefix[c + k] = total[k];
    }
  for (int k = 0; c + k < width; ++k) prefix[c + k] = total[k] + row[c + k];
}

}  // namespace

void StridedPrefixPlain(const uint8_t* row, int width, int stride, int32_t* prefix) {
  for (int c = 0; c < width; ++c) prefix[c] = row[c] + (c >= stride ? prefix[c - stride] : 0);
}

void StridedPrefix(const uint8_t* row, int width, int stride, int32_t* prefix) {
  switch (stride) {  // the spacings of the Small and Big detectors
    case 2:
      return StridedPrefixFixed<2>(row, width, prefix);
    case 3:
      return StridedPrefixFixed<3>(row, width, prefix);
    case 16:
      return StridedPrefixFixed<16>(row, width, prefix);
    case 20:
      return StridedPrefixFixed<20>(row, width, prefix);
    default:
      return StridedPrefixPlain(row, width, stride, prefix);
  }
}

const int32_t* StridedColumns::Row(int index, int y) {
  int32_t* sums = sums_ + (index % phases_) * columns_;
  const uint8_t* base = img_ + col0_;
  if (index < phases_ || count_ < shift_) {
    for (int j = 0; j < columns_; ++j) sums[j] = 0;
    for (int k = 0; k < count_; ++k) {
      const uint8_t* row = base + (y + offset_ + spacing_ * k) * width_;
      for (int j = 0; j < columns_; ++j) sums[j] += row[4 * j];
    }
    return sums;
  }
  // The sums hold the row lcm above: drop its first `shift_` samples, add the new last ones.
  const int previous = y - 4 * phases_;
  for (int k = 0; k < shift_; ++k) {
    const uint8_t* out = base + (previous + offset_ + spacing_ * k) * width_;
    const uint8_t* in = base + (y + offset_ + spacing_ * (count_ - shift_ + k)) * width_;
    for (int j = 0; j < columns_; ++j) sums[j] += in[4 * j] - out[4 * j];
  }
  return sums;
}

}  // namespace ocuvant::engine::smallbig
