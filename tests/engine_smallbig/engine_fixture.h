// Test access to one Small or Big engine: its operations, state and constants.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "engine/common/engine_ops.h"
#include "engine/smallbig/big_params.h"
#include "engine/smallbig/engine_state.h"
#include "engine/smallbig/pipeline.h"
#include "engine/smallbig/small_params.h"
#include "synthetic_eye.h"

namespace ocuvant::engine::smallbig::testing {

struct KindUnderTest {
  const EngineOps& ops;
  EngineState& state;
  const KindParams& params;
  const CallLimits& enrollLimits;
  const char* name;
  int width() const { return params.width; }
  int height() const { return params.height; }
  int crop() const { return params.crop; }
};

inline KindUnderTest Small() {
  return {SmallEngine(), SmallState(), kSmallParams, kSmallEnrollLimits, "Small"};
}
inline KindUnderTest Big() {
  return {BigEngine(), BigState(), kBigParams, kBigEnrollLimits, "Big"};
}

class EngineTest : public ::testing::TestWithParam<bool> {  // true: Big
 protected:
  void SetUp() override {
    ResetState(kind().state);
    kind().ops.InitEngine();
  }
  KindUnderTest kind() const { return GetParam() ? Big() : Small(); }

  // A well-formed eye for the kind, centred, textured, with a glint.
  SyntheticEye GoodEye() const {
    SyntheticEye e;
    e.cx = kind().width() / 2.0;
    e.cy = kind().height() / 2.0;
    e.pupilR = GetParam() ? 42 : 28;
    e.irisR = GetParam() ? 115 : 80;
    return e;
  }
  std::vector<uint8_t> Draw(const SyntheticEye& e) const {
    return DrawEye(e, kind().width(), kind().height());
  }

  int32_t Enroll(std::vector<uint8_t>& img, int32_t left = 0, int32_t right = 4000, int32_t top = 0,
                 int32_t bottom = 4000) {
    return kind().ops.ProcessEnrollImage(img.data(), templ, crop, left, right, top, bottom);
  }
  int32_t Match(std::vector<uint8_t>& img) {
    return kind().ops.ProcessMatchImage(img.data(), templ, crop, 0, 4000, 0, 4000);
  }

  // A stage context on `img` with the enrollment thresholds.
  Stage MakeStage(std::vector<uint8_t>& img) {
    return Stage{kind().params,
                 kind().state.enroll,
                 kind().enrollLimits,
                 kind().state,
                 img.data(),
                 0,
                 4000,
                 0,
                 4000};
  }

  uint8_t templ[512] = {};
  uint8_t crop[360 * 360] = {};
};

inline Stage MakeStage(const KindUnderTest& k, EngineState& s, std::vector<uint8_t>& img) {
  return Stage{k.params, s.enroll, k.enrollLimits, s, img.data(), 0, 4000, 0, 4000};
}

inline std::string KindName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Big" : "Small";
}

}  // namespace ocuvant::engine::smallbig::testing
