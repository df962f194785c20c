// The stages of a Small/Big Process call and the context they share.
#pragma once

#include <cstdint>

#include "engine/smallbig/engine_state.h"
#include "engine/smallbig/kind_params.h"

namespace ocuvant::engine::smallbig {

// Result codes of the Process operations.
enum ResultCode : int32_t {
  kOk = 1,
  kGlobalFocus = -1,
  kLocalFocus = -2,
  kDarkThreshold = -3,
  kDarkThresholdClean = -4,
  kPupilSize = -5,
  kRefinedSpot = -6,
  kPupilCircle = -7,
  kPupilContrast = -9,
  kGaze = -11,
  kIrisBorder = -13,
  kIrisRadius = -14,
  kPupilIrisRatio = -15,
  kRingWidth = -16,
  kScleraContrast = -17,
  kEyeOpening = -18,
  kVisibleIris = -19,
  kTexture = -20,
  kMovement = -24,
  kNoDarkSpot = -25,
  kIrisLevelHigh = -30,
  kIrisLevelLow = -31,
};

// What one Process call works on.
struct Stage {
  const KindParams& k;
  const Thresholds& th;
  const CallLimits& lim;
  EngineState& s;
  uint8_t* img;  // EyeImage, k.width x k.height, modified in place
  int32_t left, right, top, bottom;
};

int32_t RunPipeline(Stage& st, uint8_t* templateOut, uint8_t* cropOut);

int32_t GlobalFocusStage(Stage& st);
int32_t LocalFocus(Stage& st);  // around (xs, ys); called by the dark-spot stage
int32_t DarkSpotStage(Stage& st);
// Paints out reflections around (xd, yd) in place (glintThr and darkLevel set); part of
// the dark-spot stage.
void RemoveReflections(Stage& st);
int32_t PupilCircleStage(Stage& st);
int32_t IrisCircleStage(Stage& st);
void GreyLevels(Stage& st);  // part of the iris circle stage
int32_t EyelidStage(Stage& st);
int32_t BoundaryStage(Stage& st);
int32_t NormaliseStage(Stage& st);
int32_t OcclusionStage(Stage& st);
// Writes the template into `templateOut` (512 bytes) only when the texture check passes.
int32_t EncodeStage(Stage& st, uint8_t* templateOut);

}  // namespace ocuvant::engine::smallbig
