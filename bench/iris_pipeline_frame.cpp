// One iris frame through the pipeline's image work: grey conversion, mirror and the
// six eye-image cuts (Small, Big, Q5, both eyes) into the control's buffers.
#include <benchmark/benchmark.h>

#include <vector>

#include "control/ocuvant_ctrl.h"
#include "session/iris_pipeline.h"

namespace {

void BM_IrisFrameImageWork(benchmark::State& state) {
  auto ctrl = ocuvant::control::COcuvantCtrl::Create();
  std::vector<uint8_t> frame(ocuvant::session::kIrisFrameBytes);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 31 + (i >> 11));
  for (auto _ : state) {
    ocuvant::session::GreyFromBottomUpBgr(frame.data(), ctrl->m_grayFrame);
    ocuvant::session::MirrorRows(ctrl->m_grayFrame, ocuvant::session::kIrisFrameHeight,
                                 ocuvant::session::kIrisFrameWidth);
    ocuvant::session::CutEyeImages(*ctrl, ocuvant::engine::KindBig);
    ocuvant::session::CutEyeImages(*ctrl, ocuvant::engine::KindSmall);
    ocuvant::session::CutEyeImages(*ctrl, ocuvant::engine::KindQ5);
    benchmark::DoNotOptimize(ctrl->m_q5.eyeImage[0][0]);
  }
}
BENCHMARK(BM_IrisFrameImageWork)->Unit(benchmark::kMillisecond);

}  // namespace
