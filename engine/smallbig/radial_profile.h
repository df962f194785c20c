// Radial edge profiles: sums of grey levels on circles of growing radius around a centre,
// differenced with a lag and smoothed, as used by the pupil and iris circle searches.
#pragma once

#include <cstdint>

#include "engine/smallbig/engine_state.h"

namespace ocuvant::engine::smallbig {

// Directions first, first - step, ... (count of them), indices modulo 512.
struct Arc {
  int first, count;
};

// Sample offsets of the radii r0 .. r0 + radii - 1 in a set of directions, independent of
// the centre; built once per search level into the state's scratch.
struct RingSamples {
  int r0, radii, dirs;
  int reach;  // no sample lies farther than this from the centre along either axis
  int stride;
  const int16_t* dx;
  const int16_t* dy;
  const int32_t* linear;  // dy * stride + dx
};

RingSamples BuildRings(EngineState& s, int stride, int r0, int radii, const Arc* arcs, int arcCount,
                       int step);

// P[n] = sum over the directions of img at radius r0 + n around (cx, cy); points outside
// the width x height image are skipped.
void RadialSums(const uint8_t* img, int width, int height, int cx, int cy, const RingSamples& rs,
                int32_t* sums);

// Ring sums of the centres cx0, cx0 + step, ... (count of them) on the rows cyFirst ..
// cyLast, computed side by side: the window their rings cover is regrouped so that the
// centres' samples are neighbouring bytes. Same values as RadialSums on each centre;
// other rows, and centres whose rings leave the image, take RadialSums itself.
struct CentreRow {
  const uint8_t* img;
  int width, height;
  int cx0, step, count, cyFirst, cyLast;
  bool fast;
  const uint8_t* grouped;
  int groupedStride, groupedTop;
  const int32_t* offsets;  // per sample, from the window row `reach` above the centre row
};

CentreRow PrepareCentreRow(EngineState& s, const uint8_t* img, int width, int height,
                           const RingSamples& rs, int cx0, int step, int count, int cyFirst,
                           int cyLast);

// sums[k * rs.radii + r] = P[r] of centre first + k (k < n) on row cy.
void CentreRowSums(const CentreRow& row, const RingSamples& rs, int cy, int first, int n,
                   int32_t* sums);

// D[n] = P[n + lag] - P[n] (len = count - lag values), Q[n] = sum_j D[mirror(n + j - 4)] K[j].
// Returns len (0 or less: no values).
int SmoothProfile(const int32_t* sums, int count, int lag, const int32_t* kernel, int32_t* out);

}  // namespace ocuvant::engine::smallbig
