// Module state of one Small or Big engine: thresholds, everything the last Process call
// measured, the working buffers, and the matcher's state. One instance per engine.
#pragma once

#include <cstdint>

#include "engine/common/template_matcher.h"
#include "engine/smallbig/kind_params.h"

namespace ocuvant::engine::smallbig {

inline constexpr int kMaxCrop = 360;
inline constexpr int kMaxNormRows = 128;
inline constexpr int kMaxNormCols = 640;
inline constexpr int kBlocks = 128;  // angular blocks of the template
inline constexpr int kBands = 8;     // radial bands
inline constexpr int kDirections = 512;
// Largest radial profile: radii x directions of one search level.
inline constexpr int kMaxProfileRadii = 96;
inline constexpr int kMaxProfileDirs = 192;
inline constexpr int kMaxWidth = 1280;
inline constexpr int kMaxLattice = kMaxWidth / 4 + 1;  // columns of one residue mod 4
inline constexpr int kMaxFarPhases = 5;                // far ring spacing / 4
inline constexpr int kMaxCentreStep = 4;               // spacing of the centres searched on a row
inline constexpr int kRowLanes = 16;                   // centres summed side by side

struct Point {
  int32_t x, y;
};

// y(x) = (a (x - xv)^2 + 4096 yv) >> 12, relative to the iris centre.
struct Parabola {
  int32_t a, xv, yv;
};

struct EngineState {
  Thresholds enroll, match;
  float selectionThreshold;

  // Quality measures (QualityScores).
  int32_t globalFocus, localFocus, movement;
  int32_t gazeOffset;
  float ratio;
  int32_t texture, visible;

  // Pupil localisation.
  int32_t xs, ys;               // first dark spot
  int32_t xd, yd;               // refined dark spot
  int32_t blockMin, darkLevel;  // darkest block sum, mean or median of the dark square
  int32_t thr, bright, glintThr, irisLevel;
  int32_t sizeEstimate;
  int32_t px, py, rp;

  // Iris boundary and grey levels.
  int32_t rl, rr;
  int32_t irisX, irisY, irisR;
  int32_t pupilLevel, scleraLevel, irisMedian, iq25, iq75, pupilLevel2, scleraLevel2;
  Parabola upperLid, lowerLid;
  int32_t upperLidRow, lowerLidRow;
  Point pupilBoundary[kDirections];
  Point irisBoundary[kDirections];

  // Encoding.
  int32_t tEven, tOdd;
  uint8_t counts[kBlocks + 2][kBands];
  uint8_t grid[kBlocks + 2][kBands];
  uint8_t validCells[kBlocks][kBands];
  int32_t reven[kBlocks][kBands], rodd[kBlocks][kBands];

  alignas(64) uint8_t crop[kMaxCrop * kMaxCrop];
  alignas(64) uint8_t normalized[kMaxNormRows * kMaxNormCols];

  // Scratch of the circle searches: sample offsets and profiles.
  int32_t offsets[kMaxProfileRadii * kMaxProfileDirs];
  int16_t offX[kMaxProfileRadii * kMaxProfileDirs];
  int16_t offY[kMaxProfileRadii * kMaxProfileDirs];
  int32_t sideProfiles[2][7][kMaxProfileRadii];
  // The crop with its columns regrouped by residue modulo the centre spacing (so that
  // centres cx, cx + step, ... read neighbouring bytes), padded for a full lane read,
  // and the ring offsets in that layout.
  alignas(64) uint8_t centreRowImage[kMaxCrop * (kMaxCrop + kMaxCentreStep) + kRowLanes];
  int32_t centreRowOffsets[kMaxProfileRadii * kMaxProfileDirs];
  // Scratch of the dark-spot detector and the reflection removal: running column sums on
  // the candidates' column lattice and strided prefix sums of whole rows.
  int32_t farColumns[kMaxFarPhases][kMaxLattice];
  int32_t nearColumns[kMaxLattice];
  int32_t sideColumns[kMaxLattice];
  int32_t rowPrefix[4][kMaxWidth];
  int32_t ringColumns[kMaxWidth];

  MatcherState matcher;
};

// The two engines' states (tests reset them with ResetState).
EngineState& SmallState();
EngineState& BigState();
void ResetState(EngineState& state);

}  // namespace ocuvant::engine::smallbig
