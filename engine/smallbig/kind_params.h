// Per-kind constants of the Small/Big pipeline. One pipeline reads these; the values
// for each kind live in small_params.h and big_params.h.
#pragma once

#include <cstdint>

#include "engine/common/engine_types.h"

namespace ocuvant::engine::smallbig {

// A run of sample positions first, first + step, ... (count of them).
struct Run {
  int first;
  int count;
};

// Dark-spot detector: a far and a near square ring of samples around the candidate.
struct SpotDetector {
  int farHalf, farCount, farSpacing;
  int nearHalf, nearCount, nearSpacing;
  int sideOffset;  // > 0: columns x -/+ sideOffset must outweigh the near ring to win
  int sideCount;
  int32_t minScore;  // a best score below this is no dark spot
};

// Search for the darkest block around a spot: offsets -reach..reach in offsetStep, block
// samples lo, lo + sampleStep, ..., hi in both axes.
struct DarkBlock {
  int reach, offsetStep;
  int lo, hi, sampleStep;
  int32_t start;  // running minimum starts here
};

// Dark threshold thr = v + (v >> 3) + add, with v the block mean (squareLo > squareHi)
// or the median of the square squareLo..squareHi (inclusive) around the darkest block.
struct ThresholdRule {
  int squareLo, squareHi;
  int add;
};

// Three-level pupil circle search.
struct PupilSearch {
  int half[3], step[3];
  bool inclusiveWindow;  // levels 2, 3: centres best-w..best+w inclusive (else < best+w)
  int dirFirst, dirStep, dirCount;
  // Level 1 radii from rho0 up to (excluding) rho1, chosen by the size estimate r.
  int startSplit1, startSplit2, start0, start1, start2;  // rho0 = r < s1 ? s0 : r < s2 ? s1 : s2
  int endSplit, endSmall, endLarge;                      // rho1 = r <= split ? small : large
  int lagSplit, lagSmall, lagLarge;                      // lag = r < split ? small : large
  // Levels 2 and 3: radii rb - before .. rb + after (inclusive), never below floorRadius.
  int before[2], after[2];
  int floorRadius;
};

struct KindParams {
  TemplateKind kind;
  int width, height;
  int crop;            // IrisCrop side S
  int zoneX0, zoneX1;  // central zone (inclusive) for spot and pupil positions
  int zoneY0, zoneY1;
  Run globalRows, globalCols;  // global focus grid, step 4

  // Local focus and movement grids (offsets from the first dark spot, step 4).
  Run localRows, localCols, centreRows, centreCols;
  bool localFocusWithoutCentre;  // Small: local focus from the power outside the centre grid

  SpotDetector spot;
  DarkBlock block1, block2;
  ThresholdRule thr1, thr2;
  int thrMax;  // a dark threshold above this fails (-3, -4)

  int brightHalf;  // bright level window +-brightHalf, step 4

  // Reflection threshold window: rows yd+rowLo..yd+rowHi, columns xd-+colHalf, step 2.
  int glintRowLo, glintRowHi, glintColHalf;
  bool irisLevelTwoMedians;  // Small: medians m1, m2 with the checks -30 / -31
  int irisLevelMax, irisLevelMin;

  // Reflection removal.
  int reflRowsBelow, reflRowsAbove;  // rows yd+below down to yd-above
  int reflReach;                     // passes xd-reach..xd-1 and xd+reach..xd+1
  int ringHalf, ringCount, ringSpacing;
  bool reflStrict;  // 64 I - ring > thr (Small) or >= thr (Big)
  int fillHalf;     // pixels x-fillHalf..x+fillHalf get the fill
  int fillExtend;   // the outermost detections of a pass extend this far

  // Pupil size estimate.
  int sizeFirst, sizeLast, sizeDivisor, sizeNone;
  bool sizeAreaOverPi;  // Big: l / pi below 800 pixels
  int sizeMin, sizeMax, sizeFloor;

  // Refined spot.
  int refineReach, refineOffsetStep, refineSampleStep, refineStartFactor;
  bool refineFallback;  // Small: back to the first spot when the move is not worth it

  // Iris level window on the crop: rows row0 - k r .. < row1 + k r, same for columns, step 2.
  int levelRow0, levelRow1, levelCol0, levelCol1, levelBySize;

  PupilSearch pupil;
  int pupilRadiusMin, pupilRadiusMax;
  bool fillPupilWithIrisLevel;  // Small: crop pixels below (L + 3 thr)/4 become L

  // Iris circle.
  int sideRadiusMin, sideRadiusLast, sideLag;
  bool sideWindowBySide;  // Small: b = 0.17 Rr when the right side is stronger
  int jointRow0, jointRow1, jointCol0, jointCol1;  // inclusive (columns shift by R0 - Rl)
  int jointRadiusBelow, jointRadiusAbove;
  int borderRight, borderBottom;  // the circle must keep X + R, Y + R at most these
  int minRingWidth;
  int irisBoundaryExtra;  // iris boundary list at radius R + this

  // Eyelids.
  bool smallLidLevels;  // fill (PL2 + 3M)/4 on the whole crop, clamp (SL2 + iq75)/2
  int lidACount;
  int lidUpperA[6], lidLowerA[6];
  int lidXvFirst, lidXvLast, lidXvStep;
  int lidLowerShift, lidUpperShift;
  bool lidDrawInCrop;

  // NormalizedIris: rows, columns, wrap width, angular sample step (of 512), row scale shift.
  int normRows, normCols, normWrap, normAngleStep, normShift;
  int cellRow0, cellRowStep, cellRows;
  int cellCol0, cellColStep, cellCols;
  int bandLoAdd, bandHiAdd;  // Lo = (PL2+iq25)/2 + loAdd, Hi = (iq75+SL2)/2 + hiAdd

  // Filters at the cell centres: row filterRowStep*b + i*tap, column col0 + colStep*a + j*tap.
  int filterRowStep, filterTap, oddCol0, evenCol0, filterColStep;
};

// Limits each Process call loads (floats are single precision).
struct CallLimits {
  int irisRadiusMax, irisRadiusMin;
  float pupilContrastMax;
  float scleraContrastMin;
  float ratioMax, ratioMin;
  int eyeOpenMin;  // percent of the iris radius
};

// Thresholds set by the host (EnrollThresholds, MatchThresholds).
struct Thresholds {
  int32_t textureMin, visualMin, gazeMax, focusMin, movementMin;
};

}  // namespace ocuvant::engine::smallbig
