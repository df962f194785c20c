#include "simulator/face/face_detector.h"

#include <cstddef>

namespace ocuvant::simulator::face {
namespace {

constexpr int32_t kMaxRows = 480;
constexpr int32_t kMaxColumns = 640;
constexpr uint8_t kSkinLevel = 110;  // brighter: face
constexpr uint8_t kEyeLevel = 50;    // darker, inside the face: eye
constexpr int32_t kMinSide = 20;
constexpr int32_t kMinFeaturePixels = 8;

struct Sum {
  int64_t x = 0, y = 0, n = 0;
  void Add(int32_t px, int32_t py) {
    x += px;
    y += py;
    ++n;
  }
  int32_t MeanX() const { return static_cast<int32_t>((2 * x + n) / (2 * n)); }
  int32_t MeanY() const { return static_cast<int32_t>((2 * y + n) / (2 * n)); }
};

// First and last face pixel of a row; false when the row has none.
bool RowExtent(const uint8_t* row, int32_t x1, int32_t x2, int32_t* left, int32_t* right) {
  int32_t l = x1;
  while (l < x2 && row[l] < kSkinLevel) ++l;
  int32_t r = x2 - 1;
  while (r > l && row[r] < kSkinLevel) --r;
  if (l >= x2) return false;
  *left = l;
  *right = r;
  return true;
}

}  // namespace

bool DetectFace(const uint8_t* grey, int32_t rows, int32_t columns, DetectedFace* out) {
  if (grey == nullptr || rows <= 0 || columns <= 0 || rows > kMaxRows || columns > kMaxColumns) {
    return false;
  }
  int32_t colCount[kMaxColumns] = {};
  int32_t rowCount[kMaxRows] = {};
  int32_t area = 0;
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* row = grey + static_cast<std::size_t>(y) * columns;
    for (int32_t x = 0; x < columns; ++x) {
      if (row[x] >= kSkinLevel) {
        ++colCount[x];
        ++rowCount[y];
        ++area;
      }
    }
  }
  int32_t x1 = 0, x2 = columns - 1, y1 = 0, y2 = rows - 1;
  while (x1 < columns && colCount[x1] < 2) ++x1;
  while (x2 > x1 && colCount[x2] < 2) --x2;
  while (y1 < rows && rowCount[y1] < 2) ++y1;
  while (y2 > y1 && rowCount[y2] < 2) --y2;
  if (x1 >= columns || y1 >= rows) return false;
  ++x2;
  ++y2;
  const int32_t w = x2 - x1, h = y2 - y1;
  if (w < kMinSide || h < kMinSide) return false;

  // Eyes: the dark pixels of the upper face band, split at the middle of their extent.
  const int32_t bandTop = y1 + h / 5, bandBottom = y1 + h * 55 / 100;
  int32_t darkLeft = x2, darkRight = x1 - 1;
  for (int32_t pass = 0; pass < 2; ++pass) {
    Sum left, right;
    const int32_t split = (darkLeft + darkRight) / 2;
    for (int32_t y = bandTop; y < bandBottom; ++y) {
      const uint8_t* row = grey + static_cast<std::size_t>(y) * columns;
      int32_t l, r;
      if (!RowExtent(row, x1, x2, &l, &r)) continue;
      for (int32_t x = l; x <= r; ++x) {
        if (row[x] >= kEyeLevel) continue;
        if (pass == 0) {
          if (x < darkLeft) darkLeft = x;
          if (x > darkRight) darkRight = x;
        } else {
          (x <= split ? left : right).Add(x, y);
        }
      }
    }
    if (pass == 0 && darkRight < darkLeft) return false;
    if (pass == 1) {
      if (left.n < kMinFeaturePixels || right.n < kMinFeaturePixels) return false;
      out->ax = left.MeanX();
      out->ay = left.MeanY();
      out->bx = right.MeanX();
      out->by = right.MeanY();
    }
  }
  // Mouth: the darker (not eye-dark) pixels of the lower face.
  Sum mouth;
  for (int32_t y = y1 + h * 6 / 10; y < y2; ++y) {
    const uint8_t* row = grey + static_cast<std::size_t>(y) * columns;
    int32_t l, r;
    if (!RowExtent(row, x1, x2, &l, &r)) continue;
    for (int32_t x = l; x <= r; ++x) {
      if (row[x] >= kEyeLevel && row[x] < kSkinLevel) mouth.Add(x, y);
    }
  }
  if (mouth.n < kMinFeaturePixels) return false;

  out->x1 = x1;
  out->y1 = y1;
  out->x2 = x2;
  out->y2 = y2;
  out->area = area;
  out->mouthY = mouth.MeanY();
  const int32_t eyeMidX2 = out->ax + out->bx;  // twice the midpoint
  const int32_t axis2 = x1 + x2;
  out->pose = (eyeMidX2 - axis2) * 100 / w;
  out->eyeSpacing = (out->bx - out->ax) * 10000 / w;
  out->eyeRow = ((out->ay + out->by) / 2 - y1) * 10000 / h;
  out->mouthRow = (out->mouthY - y1) * 10000 / h;
  return true;
}

}  // namespace ocuvant::simulator::face
