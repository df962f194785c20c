// The operation set every iris engine exports, addressed by TemplateKind.
#pragma once

#include "engine/common/engine_types.h"

namespace ocuvant::engine {

// One table per engine. Q5 ignores the focus/movement thresholds and the search
// rectangle, and has no location result (GetLocationResult == nullptr).
struct EngineOps {
  TemplateKind kind;
  int32_t (*InitEngine)();
  int32_t (*SetEnrollQuality)(int32_t texture, int32_t visualDegree, int32_t gaze, int32_t focus,
                              int32_t movement);
  int32_t (*SetMatchQuality)(int32_t texture, int32_t visualDegree, int32_t gaze, int32_t focus,
                             int32_t movement);
  // eye: EyeImage of the kind's size (modified in place); templateOut: 512 bytes;
  // cropOut: IrisCrop of the kind's size. Returns 1 or a negative result code.
  int32_t (*ProcessEnrollImage)(uint8_t* eye, uint8_t* templateOut, uint8_t* cropOut, int32_t left,
                                int32_t right, int32_t top, int32_t bottom);
  int32_t (*ProcessMatchImage)(uint8_t* eye, uint8_t* templateOut, uint8_t* cropOut, int32_t left,
                               int32_t right, int32_t top, int32_t bottom);
  int32_t (*GetLocationResult)(int32_t* x, int32_t* y, int32_t* irisRadius, int32_t* pupilRadius);
  // scores: kQualityCount[kind] values.
  int32_t (*GetQualityScores)(int32_t* scores);
  int32_t (*BuildEnrollTemplate)(const uint8_t* t1, const uint8_t* t2, const uint8_t* t3,
                                 int32_t* score);
  int32_t (*MatchTemplate)(const uint8_t* database, const uint8_t* probe, int32_t n, float* score);
};

// Defined by each engine module.
namespace smallbig {
const EngineOps& SmallEngine();
const EngineOps& BigEngine();
}  // namespace smallbig
namespace q5 {
const EngineOps& Q5Engine();
}  // namespace q5

// Dispatch by kind (kind must be 0, 1 or 2).
const EngineOps& Engine(TemplateKind kind);

}  // namespace ocuvant::engine
