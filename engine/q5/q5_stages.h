// The stages of the Q5 pipeline and the steps inside them. Each stage reads and writes
// the module state it is given and returns 1 or its result code.
#pragma once

#include <cstdint>

#include "engine/q5/q5_geometry.h"
#include "engine/q5/q5_state.h"

namespace ocuvant::engine::q5 {

// ---- Focus -------------------------------------------------------------------------------

// Band-pass focus score of the grid x = x0, x0 + step, ... <= x1 (likewise y), weight w.
int32_t FocusScore(const Plane& eye, int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t step,
                   int32_t w);
int32_t GlobalFocus(State& s, const Plane& eye);  // stage 1

// ---- Pupil search (stage 2) ------------------------------------------------------------

struct DarkWindow {
  Point centre;
  int32_t mean = 0;       // Smin / 100
  int32_t threshold = 0;  // m + (m >> 3) + 4
};

// Bright spot in a dark disc; false when no response reaches 0.
bool Detect(const Plane& eye, Point* best, int32_t* response);
// Darkest 10 x 10 sample window around `around`.
DarkWindow DarkestWindow(const Plane& eye, Point around);
bool InZone(Point p);
void FillReflections(const Plane& eye, int32_t cx, int32_t cy, int32_t m, int32_t t, int32_t l,
                     int32_t q);
// The same, every ring summed at each pixel (the reference of the tests).
void FillReflectionsPlain(const Plane& eye, int32_t cx, int32_t cy, int32_t m, int32_t t, int32_t l,
                          int32_t q);
// R1 from the dark area around the centre; 1 or -5.
int32_t SizeEstimate(const Plane& eye, Point c, int32_t t, int32_t* r1);
// Level-1 radius range of the pupil circle for the pupil size R1.
void PupilRadiusRange(int32_t r1, int32_t* lo, int32_t* hi);
int32_t PupilSearch(State& s, const Plane& eye, uint8_t* crop);  // stage 2

// ---- Pupil circle (stage 3) ----------------------------------------------------------

// Centres x0, x0 + step .. <= x1 of the rows y0, y0 + step .. <= y1, in scan order.
struct CentreGrid {
  int32_t x0, x1, y0, y1, step;
};
inline constexpr int kMaxGridRow = 16;  // centres in one row of a grid the fast path takes
// sums[centre * stride + i] = the sum over `arcs` of RingSum at radius r0 + i, i < n.
void GridRingSums(RingWindow& w, const Plane& crop, const CentreGrid& g, int32_t r0, int32_t n,
                  const Arc* arcs, int32_t arcCount, int32_t* sums, int32_t stride);
// The same, centre by centre (the reference of the tests).
void GridRingSumsPlain(const Plane& crop, const CentreGrid& g, int32_t r0, int32_t n,
                       const Arc* arcs, int32_t arcCount, int32_t* sums, int32_t stride);

// inner/outer above the single-precision limit (or no outer light at all) fails.
bool PupilContrastOk(int64_t inner, int64_t outer, float limit);
int32_t PupilCircleStage(State& s, const Plane& eye, uint8_t* crop);

// ---- Iris circle (stage 4) -----------------------------------------------------------

// Border, radius, ratio, containment and gaze checks in their order; sets *gaze when
// the gaze check is reached.
int32_t CheckIrisCircle(const State& s, Circle pupil, Circle iris, Point detection, int32_t* gaze);
bool ScleraContrastOk(int64_t inner, int64_t outer, float limit);
void MeasureRingLevels(State& s, const Plane& eye);
int32_t IrisCircleStage(State& s, const Plane& eye, uint8_t* crop);

// ---- Eyelids and marks (stages 5, 6) --------------------------------------------------

bool EyeOpeningOk(int32_t cU, int32_t cL, int32_t ri, int32_t minPercent);

// One lid's search: curves k = kFrom, kFrom + 2 .. kTo, h = -88, -80 .. 88 and
// c = cFrom, cFrom + 4 .. < cTo (in that nesting), each scored by the edge energy
// |C(x, y) - C(x, y + dy)| with y = base + yParabola(x) over the columns x = 180 - ri,
// 180 - ri + 8 .. 180 + ri. The best is the last of the highest energies.
struct LidRange {
  int32_t base, dy, kFrom, kTo, cFrom, cTo;
};
struct LidFit {
  EyelidCurve curve;
  int32_t energy = 0;
};
LidFit SearchLid(LidScratch& scratch, const Plane& crop, int32_t ri, const LidRange& range);
// The same, every curve's energy summed on its own (the reference of the tests).
LidFit SearchLidPlain(const Plane& crop, int32_t ri, const LidRange& range);
// Sets to 255 every pixel of `eye` inside the image at (iris.x + x, iris.y + y),
// x = -r .. r-1, with y from -r up to the upper lid's yU(x) and from the lower lid's
// yL(x) down to r, both ends included, also where a lid lies beyond the iris square.
void MaskBeyondLids(const Plane& eye, Circle iris, EyelidCurve upper, EyelidCurve lower);
int32_t EyelidStage(State& s, const Plane& eye, uint8_t* crop);
void BoundaryMarks(State& s, uint8_t* crop);

// ---- Normalisation and encoding (stages 7-9) ------------------------------------------

void Normalize(State& s, const Plane& eye);
// Block counts, gap closing and erosion into s.validCells; returns the valid cell count.
int32_t ComputeValidCells(State& s, int32_t lo, int32_t hi);
int32_t Occlusion(State& s);
void FilterResponses(State& s);
int32_t Encode(State& s, uint8_t* templateOut);

// ---- Whole pipeline -------------------------------------------------------------------

int32_t Process(State& s, const Thresholds& thresholds, const Limits& limits, uint8_t* eye,
                uint8_t* templateOut, uint8_t* crop);

}  // namespace ocuvant::engine::q5
