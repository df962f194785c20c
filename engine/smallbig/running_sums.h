// Exact running sums that let the dark-spot detector and the reflection removal read each
// pixel a few times instead of once per candidate.
#pragma once

#include <cstdint>

namespace ocuvant::engine::smallbig {

// prefix[c] = row[c] + prefix[c - stride] (0 before the row start), for c < width.
void StridedPrefix(const uint8_t* row, int width, int stride, int32_t* prefix);
// The same by the definition, one element after the other (the reference of the tests).
void StridedPrefixPlain(const uint8_t* row, int width, int stride, int32_t* prefix);

// Sum of row[first + stride k] for k < count from a StridedPrefix; first >= 0.
inline int32_t StridedSum(const int32_t* prefix, int first, int stride, int count) {
  const int32_t before = first >= stride ? prefix[first - stride] : 0;
  return prefix[first + stride * (count - 1)] - before;
}

// Column sums sum_k I(c, y + offset + spacing k), k < count, for the columns
// c = col0 + 4 j (j < columns) of candidate rows y = y0 + 4 i visited in order. Rows four
// apart share samples: a candidate row reuses the sums of the row lcm(spacing, 4) above.
class StridedColumns {
 public:
  StridedColumns(const uint8_t* img, int width, int col0, int columns, int offset, int spacing,
                 int count, int32_t* sums)
      : img_(img),
        width_(width),
        col0_(col0),
        columns_(columns),
        offset_(offset),
        spacing_(spacing),
        count_(count),
        sums_(sums) {
    int lcm = spacing;
    while (lcm % 4 != 0) lcm += spacing;
    phases_ = lcm / 4;
    shift_ = lcm / spacing;
  }

  // Sums of candidate row `index` (y = y0 + 4 index), indexed by j.
  const int32_t* Row(int index, int y);

  int Phases() const { return phases_; }

 private:
  const uint8_t* img_;
  int width_, col0_, columns_, offset_, spacing_, count_;
  int phases_ = 1, shift_ = 1;
  int32_t* sums_;  // phases_ rows of columns_ sums
};

}  // namespace ocuvant::engine::smallbig
