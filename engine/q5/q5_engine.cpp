// Q5 engine operations, the Process pipeline and the engine's operation table.
#include "engine/q5/q5_engine.h"

#include <cmath>
#include <limits>

#include "engine/q5/q5_stages.h"

namespace ocuvant::engine::q5 {

namespace {

State g_state;

Thresholds MakeThresholds(int32_t texture, int32_t visualDegree, int32_t gaze) {
  Thresholds t;
  t.textureMin = TextureMinimum(texture);
  t.visualMin = visualDegree;
  const int64_t gazeMax = int64_t{100} - gaze;  // no overflow for extreme settings
  t.gazeMax = static_cast<int32_t>(gazeMax < std::numeric_limits<int32_t>::min()
                                       ? std::numeric_limits<int32_t>::min()
                                       : gazeMax);
  return t;
}

}  // namespace

State& ModuleState() {
  return g_state;
}

int32_t TextureMinimum(int32_t texture) {
  // Settings of 100 or more (including negative values read as unsigned) have no value
  // under the formula; they count as 99, the strictest one that has.
  auto t = static_cast<uint32_t>(texture);
  if (t >= 100) t = 99;
  const double td = t;
  return static_cast<int32_t>(16.0 * std::sqrt(td / (100.0 - td)) + 0.5);
}

int32_t InitEngine() {
  InitMatcher(g_state.matcher, kQ5MatchParams);
  return 1;
}

int32_t SetEnrollQuality(int32_t texture, int32_t visualDegree, int32_t gaze) {
  g_state.enrollThresholds = MakeThresholds(texture, visualDegree, gaze);
  return 1;
}

int32_t SetMatchQuality(int32_t texture, int32_t visualDegree, int32_t gaze) {
  g_state.matchThresholds = MakeThresholds(texture, visualDegree, gaze);
  return 1;
}

int32_t Process(State& s, const Thresholds& thresholds, const Limits& limits, uint8_t* eyeData,
                uint8_t* templateOut, uint8_t* crop) {
  s.thresholds = thresholds;
  s.limits = limits;
  const Plane eye = EyePlane(eyeData);
  int32_t rc = GlobalFocus(s, eye);
  if (rc == kOk) rc = PupilSearch(s, eye, crop);
  if (rc == kOk) rc = PupilCircleStage(s, eye, crop);
  if (rc == kOk) rc = IrisCircleStage(s, eye, crop);
  if (rc == kOk) rc = EyelidStage(s, eye, crop);
  if (rc != kOk) return rc;
  BoundaryMarks(s, crop);
  Normalize(s, eye);
  rc = Occlusion(s);
  if (rc == kOk) rc = Encode(s, templateOut);
  return rc;
}

int32_t ProcessEnrollImage(uint8_t* eye, uint8_t* templateOut, uint8_t* cropOut) {
  return Process(g_state, g_state.enrollThresholds, kEnrollLimits, eye, templateOut, cropOut);
}

int32_t ProcessMatchImage(uint8_t* eye, uint8_t* templateOut, uint8_t* cropOut) {
  return Process(g_state, g_state.matchThresholds, kMatchLimits, eye, templateOut, cropOut);
}

int32_t GetQualityScores(int32_t* q1, int32_t* q2, int32_t* q3) {
  const int32_t c = g_state.textureValue;
  const int32_t c2 = c * c;
  *q1 = static_cast<int32_t>(100.0 * c2 / (c2 + 256.0));
  *q2 = g_state.visiblePercent;
  *q3 = 100 - g_state.gazeOffset;
  return 1;
}

int32_t BuildEnrollTemplate(const uint8_t* t1, const uint8_t* t2, const uint8_t* t3,
                            int32_t* score) {
  return engine::BuildEnrollTemplate(g_state.matcher, kQ5MatchParams, t1, t2, t3, score);
}

int32_t MatchTemplate(const uint8_t* database, const uint8_t* probe, int32_t n, float* score) {
  return engine::MatchTemplate(g_state.matcher, kQ5MatchParams, database, probe, n, score);
}

// ---- Operation table (focus, movement and the search rectangle do not apply) ----------

namespace {

int32_t OpsSetEnroll(int32_t texture, int32_t visual, int32_t gaze, int32_t, int32_t) {
  return SetEnrollQuality(texture, visual, gaze);
}
int32_t OpsSetMatch(int32_t texture, int32_t visual, int32_t gaze, int32_t, int32_t) {
  return SetMatchQuality(texture, visual, gaze);
}
int32_t OpsProcessEnroll(uint8_t* eye, uint8_t* t, uint8_t* crop, int32_t, int32_t, int32_t,
                         int32_t) {
  return ProcessEnrollImage(eye, t, crop);
}
int32_t OpsProcessMatch(uint8_t* eye, uint8_t* t, uint8_t* crop, int32_t, int32_t, int32_t,
                        int32_t) {
  return ProcessMatchImage(eye, t, crop);
}
int32_t OpsQuality(int32_t* scores) {
  return GetQualityScores(&scores[0], &scores[1], &scores[2]);
}

constexpr EngineOps kQ5Ops{
    KindQ5,          InitEngine, OpsSetEnroll, OpsSetMatch,         OpsProcessEnroll,
    OpsProcessMatch, nullptr,    OpsQuality,   BuildEnrollTemplate, MatchTemplate};

}  // namespace

const EngineOps& Q5Engine() {
  return kQ5Ops;
}

}  // namespace ocuvant::engine::q5
