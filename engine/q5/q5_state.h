// Module state of the Q5 engine: threshold sets, the active set of a Process call and
// everything the last call measured. One instance, owned by the module.
#pragma once

#include <cstdint>

#include "engine/common/template_matcher.h"

namespace ocuvant::engine::q5 {

// ---- Geometry -------------------------------------------------------------------------

inline constexpr int kEyeWidth = 1280;
inline constexpr int kEyeHeight = 1080;
inline constexpr int kCropSide = 360;
inline constexpr int kCropCentre = 180;
inline constexpr int kCropBytes = kCropSide * kCropSide;

// Pupil estimates and the pupil centre must lie in this zone (ends included).
inline constexpr int kZoneXMin = 192, kZoneXMax = 1088, kZoneYMin = 192, kZoneYMax = 888;

inline constexpr int kAngularSamples = 512;  // boundary points per circle
inline constexpr int kNormRows = 128;
inline constexpr int kNormCols = 640;  // 64 wrap columns either side of the 512 samples
inline constexpr int kWrap = 64;
inline constexpr int kCells = 128;  // angular cells (template bytes)
inline constexpr int kBands = 8;    // radial bands (template bits)

// ---- Result codes, in the order the checks run -----------------------------------------

enum ResultCode : int32_t {
  kOk = 1,
  kGlobalFocus = -1,
  kDetectionOrLocalFocus = -2,
  kDarkThreshold = -3,
  kDarkThresholdFilled = -4,
  kPupilSize = -5,
  kSizeRefinement = -6,
  kPupilCircle = -7,
  kPupilContrast = -9,
  kIrisBorder = -13,
  kIrisRadius = -14,
  kRadiusRatio = -15,
  kPupilNotInside = -16,
  kGaze = -11,
  kScleraContrast = -17,
  kEyeOpening = -18,
  kVisibleIris = -19,
  kTexture = -20,
};

// ---- Thresholds and per-call limits ----------------------------------------------------

struct Thresholds {
  int32_t textureMin = 0;  // least TextureValue
  int32_t visualMin = 0;   // least VisiblePercent
  int32_t gazeMax = 0;     // largest GazeOffset
};

// Floats are single precision on purpose: they are compared with double ratios.
struct Limits {
  int32_t focusMin;
  int32_t irisRadiusMax;
  int32_t irisRadiusMin;
  float pupilContrastMax;
  float scleraContrastMin;
  float ratioMax;
  float ratioMin;
  int32_t eyeOpeningMin;  // percent of the iris radius
};

inline constexpr Limits kEnrollLimits{70, 155, 85, 0.9f, 1.1f, 0.69f, 0.11f, 60};
inline constexpr Limits kMatchLimits{67, 160, 80, 0.9f, 1.1f, 0.69f, 0.11f, 50};

// ---- Measured values -----------------------------------------------------------------

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

struct Circle {
  int32_t x = 0;
  int32_t y = 0;
  int32_t r = 0;
};

// y = (4096 c + k (x - h)^2) >> 12, offsets from the iris centre.
struct EyelidCurve {
  int32_t c = 0;
  int32_t k = 0;
  int32_t h = 0;
};

struct RingLevels {
  int32_t p25 = 0;  // dark quartile of the pupil
  int32_t q25 = 0;  // iris quartiles
  int32_t q50 = 0;
  int32_t q75 = 0;
  int32_t s75 = 0;  // sclera level
};

// Scratch of the eyelid search: the row differences of the sample columns, each column's
// rows grouped by residue modulo the lid offset step (4), and one energy per offset.
inline constexpr int kLidColumns = 48;       // sample columns of an iris radius up to 188
inline constexpr int kLidQuarterRows = 384;  // rows covered by the curves of one lid, / 4
inline constexpr int kLidOffsets = 64;       // lid offsets c of one (k, h)
struct LidScratch {
  uint8_t diff[kLidColumns][4][kLidQuarterRows];
  uint16_t energy[kLidOffsets];
  int32_t column[kLidColumns];  // x of each column inside the cut
};

// Scratch of the ring sums over a grid of centres: the window the rings cover, its
// columns grouped by residue modulo the centre step.
inline constexpr int kRingWindowBytes = 256 * 264;
struct RingWindow {
  uint8_t bytes[kRingWindowBytes + 16];  // a row of 16 centres may read past the window
};

struct State {
  Thresholds enrollThresholds;
  Thresholds matchThresholds;

  // Active set, copied at the start of each Process call.
  Thresholds thresholds;
  Limits limits = kEnrollLimits;

  // Stage 1-3.
  int32_t globalFocus = 0;
  int32_t localFocus = 0;
  Point detectionPoint;
  int32_t detectionResponse = 0;
  Point pupilEstimate;  // refined dark centre (cx, cy) of the pupil search
  int32_t darkThreshold = 0;
  int32_t darkMean = 0;
  int32_t brightLevel = 0;
  int32_t irisLevel = 0;
  int32_t spotLevel = 0;
  int32_t pupilSize = 0;  // R1
  Circle pupilCircle;

  // Stage 4-6.
  Circle irisCircle;
  int32_t gazeOffset = 0;
  RingLevels ringLevels;
  EyelidCurve upperLid;
  EyelidCurve lowerLid;
  LidScratch lidScratch;
  RingWindow ringWindow;
  Point pupilPoints[kAngularSamples];
  Point irisPoints[kAngularSamples];

  // Stage 7-9.
  uint8_t normalizedIris[kNormRows][kNormCols];
  uint8_t validCells[kCells][kBands];
  int32_t visiblePercent = 0;
  int32_t oddResponse[kCells][kBands];
  int32_t evenResponse[kCells][kBands];
  int32_t tEven = 0;
  int32_t tOdd = 0;
  int32_t textureValue = 0;

  // Rotated probe copies and best match of the last comparison.
  MatcherState matcher;
};

// The module's single state.
State& ModuleState();

}  // namespace ocuvant::engine::q5
