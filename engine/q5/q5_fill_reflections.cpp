// Fills specular reflections around the pupil with the surrounding dark level, so that
// the dark threshold, the size estimate and the pupil circle see a solid pupil.
#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

// Hits of one half-row: the leftmost and rightmost with their fill values.
struct HalfRow {
  bool any = false;
  int32_t left = 0, leftValue = 0;
  int32_t right = 0, rightValue = 0;

  void Hit(int32_t x, int32_t v) {
    if (!any || x < left) left = x, leftValue = v;
    if (!any || x > right) right = x, rightValue = v;
    any = true;
  }
};

// Fill value from the seven pixels 3 to 9 places outward (dir -1 left, +1 right) and m.
int32_t FillValue(uint8_t* row, int32_t x, int32_t dir, int32_t m) {
  int32_t sum = m;
  for (int32_t d = 3; d <= 9; ++d) sum += row[x + dir * d];
  return sum >> 3;
}

void Write(uint8_t* row, int32_t from, int32_t to, int32_t v) {
  for (int32_t x = from; x <= to; ++x) row[x] = static_cast<uint8_t>(v);
}

// Runs one half-row from x = start toward x = stop (step +-1, stop included); the fill
// values read outward, away from the pupil centre.
template <typename Test>
void ScanHalfRow(uint8_t* row, int32_t start, int32_t stop, int32_t outward, int32_t m,
                 Test&& test) {
  HalfRow hits;
  const int32_t step = start <= stop ? 1 : -1;
  for (int32_t x = start;; x += step) {
    if (test(x)) {
      const int32_t v = FillValue(row, x, outward, m);
      Write(row, x - 2, x + 2, v);
      hits.Hit(x, v);
    }
    if (x == stop) break;
  }
  if (hits.any) {
    Write(row, hits.left - 4, hits.left, hits.leftValue);
    Write(row, hits.right, hits.right + 4, hits.rightValue);
  }
}

}  // namespace

void FillReflectionsPlain(const Plane& eye, int32_t cx, int32_t cy, int32_t m, int32_t t, int32_t l,
                          int32_t q) {
  const int32_t level = (q + 4) / 8 + 74;
  const int32_t v1 = level * 64, v2 = level * 48, k = 3 * (3 * t + l);
  const int32_t w = eye.width;

  // Pass 1: pixels brighter than their 48-pixel ring (64 samples).
  auto ring48 = [&](const uint8_t* p) {
    int32_t ring = 0;
    for (int32_t i = 0; i < 16; ++i) {
      ring += p[-24 * w - 24 + 3 * i] + p[24 * w - 24 + 3 * i] + p[(-24 + 3 * i) * w - 24] +
              p[(-24 + 3 * i) * w + 24];
    }
    return 64 * p[0] - ring;
  };
  for (int32_t y = cy + 160; y >= cy - 159; --y) {
    uint8_t* row = &eye.At(0, y);
    auto test = [&](int32_t x) { return ring48(row + x) > v1; };
    ScanHalfRow(row, cx - 160, cx, -1, m, test);
    ScanHalfRow(row, cx + 160, cx, +1, m, test);
  }

  // Pass 2: pixels brighter than a 24-pixel ring whose four sides are all dark, or much
  // brighter than any ring.
  for (int32_t y = cy - 160; y <= cy + 159; ++y) {
    uint8_t* row = &eye.At(0, y);
    auto test = [&](int32_t x) {
      const uint8_t* p = row + x;
      int32_t st = 0, sb = 0, sl = 0, sr = 0;
      for (int32_t i = 0; i < 12; ++i) {
        st += p[-12 * w - 12 + 2 * i];
        sb += p[12 * w - 12 + 2 * i];
        sl += p[(-12 + 2 * i) * w - 12];
        sr += p[(-12 + 2 * i) * w + 12];
      }
      const int32_t r = 48 * p[0] - (st + sb + sl + sr);
      return (st < k && sb < k && sl < k && sr < k && r >= 3072) || r >= v2;
    };
    ScanHalfRow(row, cx - 160, cx - 1, -1, m, test);
    ScanHalfRow(row, cx + 160, cx + 1, +1, m, test);
  }
}

// The same tests from sums prepared once per row. While a row is scanned only that row is
// written, so the ring's top and bottom sides and its column sides without the row itself
// are fixed for the row; the column samples on the row are read live, as the plain version
// reads them. Integer sums of the same samples: identical results.
void FillReflections(const Plane& eye, int32_t cx, int32_t cy, int32_t m, int32_t t, int32_t l,
                     int32_t q) {
  const int32_t level = (q + 4) / 8 + 74;
  const int32_t v1 = level * 64, v2 = level * 48, k = 3 * (3 * t + l);
  const int32_t w = eye.width;
  constexpr int32_t kHalf = 160, kSpan = 2 * kHalf + 1;
  // Indexed by x - (cx - 160) (sides) and by x - (cx - 160) + reach (columns).
  int32_t top[kSpan], bottom[kSpan], columns[kSpan + 48];

  // Pass 1: 48-pixel ring, 16 samples a side every 3 pixels; the column sides' sample on
  // row y is the ninth (i = 8).
  for (int32_t y = cy + kHalf; y >= cy - (kHalf - 1); --y) {
    uint8_t* row = &eye.At(0, y);
    const uint8_t* up = row - 24 * w;
    const uint8_t* down = row + 24 * w;
    const int32_t x0 = cx - kHalf;
    for (int32_t j = 0; j < kSpan; ++j) {
      int32_t a = 0, b = 0;
      for (int32_t i = 0; i < 16; ++i) {
        a += up[x0 + j - 24 + 3 * i];
        b += down[x0 + j - 24 + 3 * i];
      }
      top[j] = a;
      bottom[j] = b;
    }
    for (int32_t j = 0; j < kSpan + 48; ++j) {
      const uint8_t* col = row + x0 - 24 + j;
      int32_t c = 0;
      for (int32_t i = 0; i < 16; ++i)
        if (i != 8) c += col[(-24 + 3 * i) * w];
      columns[j] = c;
    }
    auto test = [&](int32_t x) {
      const int32_t j = x - x0;
      const int32_t ring =
          top[j] + bottom[j] + columns[j] + columns[j + 48] + row[x - 24] + row[x + 24];
      return 64 * row[x] - ring > v1;
    };
    ScanHalfRow(row, cx - kHalf, cx, -1, m, test);
    ScanHalfRow(row, cx + kHalf, cx, +1, m, test);
  }

  // Pass 2: 24-pixel ring, 12 samples a side every 2 pixels; the row's own sample is i = 6.
  for (int32_t y = cy - kHalf; y <= cy + (kHalf - 1); ++y) {
    uint8_t* row = &eye.At(0, y);
    const uint8_t* up = row - 12 * w;
    const uint8_t* down = row + 12 * w;
    const int32_t x0 = cx - kHalf;
    for (int32_t j = 0; j < kSpan; ++j) {
      int32_t a = 0, b = 0;
      for (int32_t i = 0; i < 12; ++i) {
        a += up[x0 + j - 12 + 2 * i];
        b += down[x0 + j - 12 + 2 * i];
      }
      top[j] = a;
      bottom[j] = b;
    }
    for (int32_t j = 0; j < kSpan + 24; ++j) {
      const uint8_t* col = row + x0 - 12 + j;
      int32_t c = 0;
      for (int32_t i = 0; i < 12; ++i)
        if (i != 6) c += col[(-12 + 2 * i) * w];
      columns[j] = c;
    }
    auto test = [&](int32_t x) {
      const int32_t j = x - x0;
      const int32_t st = top[j], sb = bottom[j];
      const int32_t sl = columns[j] + row[x - 12], sr = columns[j + 24] + row[x + 12];
      const int32_t r = 48 * row[x] - (st + sb + sl + sr);
      return (st < k && sb < k && sl < k && sr < k && r >= 3072) || r >= v2;
    };
    ScanHalfRow(row, cx - kHalf, cx - 1, -1, m, test);
    ScanHalfRow(row, cx + kHalf, cx + 1, +1, m, test);
  }
}

}  // namespace ocuvant::engine::q5
