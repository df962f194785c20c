// One iris frame through the pipeline's image work: grey conversion, mirror and the
// six eye-image cuts (Small, Big, Q5, both eyes) into the control's buffers; then the
// same work in parts (the one-pass conversion with mirror, the two-pass reference, the
// cuts).
#include <benchmark/benchmark.h>

#include <vector>

#include "control/ocuvant_ctrl.h"
#include "session/iris_pipeline.h"

namespace {

using namespace ocuvant;

std::vector<uint8_t> TestFrame() {
  std::vector<uint8_t> frame(session::kIrisFrameBytes);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 31 + (i >> 11));
  return frame;
}

void CutAllKinds(control::COcuvantCtrl& ctrl) {
  session::CutEyeImages(ctrl, engine::KindBig);
  session::CutEyeImages(ctrl, engine::KindSmall);
  session::CutEyeImages(ctrl, engine::KindQ5);
}

void BM_IrisFrameImageWork(benchmark::State& state) {
  auto ctrl = control::COcuvantCtrl::Create();
  const std::vector<uint8_t> frame = TestFrame();
  for (auto _ : state) {
    session::MirroredGreyFromBottomUpBgr(frame.data(), ctrl->m_grayFrame);
    CutAllKinds(*ctrl);
    benchmark::DoNotOptimize(ctrl->m_q5.eyeImage[0][0]);
  }
}
BENCHMARK(BM_IrisFrameImageWork)->Unit(benchmark::kMillisecond);

void BM_MirroredGrey(benchmark::State& state) {
  auto ctrl = control::COcuvantCtrl::Create();
  const std::vector<uint8_t> frame = TestFrame();
  for (auto _ : state) {
    session::MirroredGreyFromBottomUpBgr(frame.data(), ctrl->m_grayFrame);
    benchmark::DoNotOptimize(ctrl->m_grayFrame[0]);
  }
}
BENCHMARK(BM_MirroredGrey)->Unit(benchmark::kMillisecond);

// The conversion and the mirror as two passes (the functions tests check against).

void BM_GreyThenMirror(benchmark::State& state) {
  auto ctrl = control::COcuvantCtrl::Create();
  const std::vector<uint8_t> frame = TestFrame();
  for (auto _ : state) {
    session::GreyFromBottomUpBgr(frame.data(), ctrl->m_grayFrame);
    session::MirrorRows(ctrl->m_grayFrame, session::kIrisFrameHeight, session::kIrisFrameWidth);
    benchmark::DoNotOptimize(ctrl->m_grayFrame[0]);
  }
}
BENCHMARK(BM_GreyThenMirror)->Unit(benchmark::kMillisecond);

void BM_SixEyeCuts(benchmark::State& state) {
  auto ctrl = control::COcuvantCtrl::Create();
  const std::vector<uint8_t> frame = TestFrame();
  session::GreyFromBottomUpBgr(frame.data(), ctrl->m_grayFrame);
  for (auto _ : state) {
    CutAllKinds(*ctrl);
    benchmark::DoNotOptimize(ctrl->m_q5.eyeImage[0][0]);
  }
}
BENCHMARK(BM_SixEyeCuts)->Unit(benchmark::kMillisecond);

}  // namespace
