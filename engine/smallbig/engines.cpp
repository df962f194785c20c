// The Small and Big engines' operation sets: the shared pipeline and matcher with each
// kind's constants and module state.
#include <cmath>
#include <cstring>
#include <type_traits>

#include "engine/common/engine_ops.h"
#include "engine/smallbig/big_params.h"
#include "engine/smallbig/pipeline.h"
#include "engine/smallbig/small_params.h"

namespace ocuvant::engine::smallbig {

namespace {

EngineState g_small;
EngineState g_big;

struct Kind {
  const KindParams& params;
  EngineState& state;
  const CallLimits& enrollLimits;
  const CallLimits& matchLimits;
  const Thresholds& enrollDefaults;
  const Thresholds& matchDefaults;
  const MatchParams& match;
};

template <TemplateKind K>
const Kind& KindOf() {
  if constexpr (K == KindSmall) {
    static const Kind kind{kSmallParams,         g_small,
                           kSmallEnrollLimits,   kSmallMatchLimits,
                           kSmallEnrollDefaults, kSmallMatchDefaults,
                           kSmallMatchParams};
    return kind;
  } else {
    static const Kind kind{
        kBigParams,        g_big,          kBigEnrollLimits, kBigMatchLimits, kBigEnrollDefaults,
        kBigMatchDefaults, kBigMatchParams};
    return kind;
  }
}

template <TemplateKind K>
int32_t InitEngine() {
  const Kind& kind = KindOf<K>();
  kind.state.enroll = kind.enrollDefaults;
  kind.state.match = kind.matchDefaults;
  kind.state.selectionThreshold = 0.167f;
  InitMatcher(kind.state.matcher, kind.match);
  return 1;
}

Thresholds Convert(int32_t texture, int32_t visual, int32_t gaze, int32_t focus, int32_t movement) {
  return {TextureThreshold(static_cast<uint32_t>(texture), 2), visual, 100 - gaze, focus, movement};
}

template <TemplateKind K>
int32_t SetEnrollQuality(int32_t texture, int32_t visual, int32_t gaze, int32_t focus,
                         int32_t movement) {
  KindOf<K>().state.enroll = Convert(texture, visual, gaze, focus, movement);
  return 1;
}

template <TemplateKind K>
int32_t SetMatchQuality(int32_t texture, int32_t visual, int32_t gaze, int32_t focus,
                        int32_t movement) {
  KindOf<K>().state.match = Convert(texture, visual, gaze, focus, movement);
  return 1;
}

template <TemplateKind K, bool Enroll>
int32_t Process(uint8_t* eye, uint8_t* templateOut, uint8_t* cropOut, int32_t left, int32_t right,
                int32_t top, int32_t bottom) {
  const Kind& kind = KindOf<K>();
  Stage st{kind.params,
           Enroll ? kind.state.enroll : kind.state.match,
           Enroll ? kind.enrollLimits : kind.matchLimits,
           kind.state,
           eye,
           left,
           right,
           top,
           bottom};
  return RunPipeline(st, templateOut, cropOut);
}

template <TemplateKind K>
int32_t GetLocationResult(int32_t* x, int32_t* y, int32_t* irisRadius, int32_t* pupilRadius) {
  const EngineState& s = KindOf<K>().state;
  *x = s.irisX;
  *y = s.irisY;
  *irisRadius = s.irisR;
  *pupilRadius = s.rp;
  return 1;
}

template <TemplateKind K>
int32_t GetQualityScores(int32_t* scores) {
  const EngineState& s = KindOf<K>().state;
  const double t2 = static_cast<double>(s.texture) * s.texture;
  scores[0] = static_cast<int32_t>(std::floor(100.0 * t2 / (t2 + 4.0) + 0.5));
  scores[1] = s.visible;
  scores[2] = 100 - s.gazeOffset;
  scores[3] = s.localFocus;
  scores[4] = s.movement;
  scores[5] = static_cast<int32_t>(std::floor(100.0 * static_cast<double>(s.ratio) + 0.5));
  return 1;
}

template <TemplateKind K>
int32_t BuildEnroll(const uint8_t* t1, const uint8_t* t2, const uint8_t* t3, int32_t* score) {
  const Kind& kind = KindOf<K>();
  return BuildEnrollTemplate(kind.state.matcher, kind.match, t1, t2, t3, score);
}

template <TemplateKind K>
int32_t Match(const uint8_t* database, const uint8_t* probe, int32_t n, float* score) {
  const Kind& kind = KindOf<K>();
  return MatchTemplate(kind.state.matcher, kind.match, database, probe, n, score);
}

template <TemplateKind K>
constexpr EngineOps MakeOps() {
  return {K,
          &InitEngine<K>,
          &SetEnrollQuality<K>,
          &SetMatchQuality<K>,
          &Process<K, true>,
          &Process<K, false>,
          &GetLocationResult<K>,
          &GetQualityScores<K>,
          &BuildEnroll<K>,
          &Match<K>};
}

constexpr EngineOps kSmallOps = MakeOps<KindSmall>();
constexpr EngineOps kBigOps = MakeOps<KindBig>();

}  // namespace

EngineState& SmallState() {
  return g_small;
}
EngineState& BigState() {
  return g_big;
}

void ResetState(EngineState& state) {
  static_assert(std::is_trivially_copyable_v<EngineState>);
  std::memset(static_cast<void*>(&state), 0, sizeof state);
}

const EngineOps& SmallEngine() {
  return kSmallOps;
}
const EngineOps& BigEngine() {
  return kBigOps;
}

}  // namespace ocuvant::engine::smallbig
