// Image access, ring points and ring sums of the Q5 engine.
#pragma once

#include <cstdint>

#include "engine/q5/q5_state.h"
#include "engine/q5/q5_tables.h"

namespace ocuvant::engine::q5 {

// A grey image with stride equal to its width (the EyeImage or the IrisCrop).
struct Plane {
  uint8_t* data;
  int32_t width;
  int32_t height;

  bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint8_t& At(int32_t x, int32_t y) const { return data[y * width + x]; }
};

inline Plane EyePlane(uint8_t* eye) {
  return {eye, kEyeWidth, kEyeHeight};
}
inline Plane CropPlane(uint8_t* crop) {
  return {crop, kCropSide, kCropSide};
}

// The point at radius r in direction m (modulo 512) around (cx, cy), rounded half up.
inline Point RingPoint(int32_t cx, int32_t cy, int32_t r, int32_t m) {
  const int32_t i = m & (kDirections - 1);
  return {cx + ((r * DirX[i] + 16384) >> 15), cy + ((r * DirY[i] + 16384) >> 15)};
}

// An arc "m = from down to from - (count - 1) * step".
struct Arc {
  int32_t from;
  int32_t count;
  int32_t step;
};

// Sum of the pixels on the arc at radius r; points outside the plane add nothing.
inline int32_t RingSum(const Plane& p, int32_t cx, int32_t cy, int32_t r, Arc arc) {
  int32_t sum = 0;
  for (int32_t i = 0, m = arc.from; i < arc.count; ++i, m -= arc.step) {
    const Point q = RingPoint(cx, cy, r, m);
    if (p.Inside(q.x, q.y)) sum += p.At(q.x, q.y);
  }
  return sum;
}

// The ring points of one radius on an arc as offsets from the centre, so that rings around
// many centres are summed without recomputing the points. |offset| <= r on both axes.
// Row of a lid curve at dx from its vertex: (4096 c + k dx^2) >> 12, a floor division,
// so it is c + ((k dx^2) >> 12) for every c.
inline int32_t Parabola(int32_t c, int32_t k, int32_t dx) {
  return (4096 * c + k * dx * dx) >> 12;
}

struct RingOffsets {
  int32_t r = 0;
  int32_t count = 0;
  int32_t dx[kDirections];
  int32_t dy[kDirections];
  int32_t linear[kDirections];  // dy * width + dx

  void Build(const Plane& p, int32_t radius, Arc arc) {
    r = radius;
    count = arc.count;
    for (int32_t i = 0, m = arc.from; i < arc.count; ++i, m -= arc.step) {
      const Point q = RingPoint(0, 0, radius, m);
      dx[i] = q.x;
      dy[i] = q.y;
      linear[i] = q.y * p.width + q.x;
    }
  }

  // Same value as RingSum(p, cx, cy, r, arc).
  int32_t Sum(const Plane& p, int32_t cx, int32_t cy) const {
    int32_t sum = 0;
    if (cx - r >= 0 && cy - r >= 0 && cx + r < p.width && cy + r < p.height) {
      const uint8_t* c = &p.At(cx, cy);
      for (int32_t i = 0; i < count; ++i) sum += c[linear[i]];
    } else {
      for (int32_t i = 0; i < count; ++i) {
        const int32_t x = cx + dx[i], y = cy + dy[i];
        if (p.Inside(x, y)) sum += p.At(x, y);
      }
    }
    return sum;
  }
};

// Cut of the plane centred on (cx, cy) into the 360 x 360 crop; `outside` where the
// source lies outside the EyeImage.
void CutCrop(const Plane& eye, int32_t cx, int32_t cy, uint8_t outside, uint8_t* crop);

}  // namespace ocuvant::engine::q5
