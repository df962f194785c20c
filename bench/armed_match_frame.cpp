// One armed identification frame with Big enabled: the pipeline's image work, both
// eyes' ProcessMatchImage and, for each accepted probe, MatchTemplate against 1000 or
// 100 000 templates (split over the match pool, as under the control) that do not match (the worst
// case: the session never ends). Must stay well under 33 ms per frame to keep up with a 30
// frames-per-second camera.
#include <benchmark/benchmark.h>

#include <vector>

#include "control/ocuvant_ctrl.h"
#include "device/hid_transport.h"
#include "engine/common/engine_ops.h"
#include "platform/thread.h"
#include "session/iris_pipeline.h"
#include "session/match_pool.h"
#include "session/workflows.h"
#include "simulator/render/eye_renderer.h"
#include "simulator/virtual_illuminator.h"
#include "simulator/virtual_iris_camera.h"

namespace {

using namespace ocuvant;

void BM_ArmedBigMatchFrame(benchmark::State& state) {
  simulator::VirtualIlluminator illuminator;  // quality hints go nowhere slow
  device::InstallHidTransport(&illuminator);
  auto ctrl = control::COcuvantCtrl::Create();
  // As the iris camera's open does: engine initialised with the default thresholds.
  const engine::EngineOps& big = engine::Engine(engine::KindBig);
  big.InitEngine();
  big.SetMatchQuality(50, 30, 50, 50, 30);
  session::StartMatchPool();
  ctrl->m_withBig = true;
  ctrl->MatchIrisTimeout = 1000000;
  ctrl->m_sessionStartTick = platform::GetTickCount();
  ctrl->m_big.maxPupilRatio = -1;
  ctrl->m_fillLightOn = true;  // no illuminator switch inside the measurement

  const int32_t count = static_cast<int32_t>(state.range(0));
  std::vector<int32_t> db(size_t(count) * 128);
  uint32_t x = 12345;
  for (int32_t& w : db) w = static_cast<int32_t>(x = x * 1664525u + 1013904223u);

  // A frame whose left eye the engine accepts, so every frame runs the full scan.
  std::vector<uint8_t> frame(session::kIrisFrameBytes);
  auto prepare = [&] {
    session::MirroredGreyFromBottomUpBgr(frame.data(), ctrl->m_grayFrame);
    session::CutEyeImages(*ctrl, engine::KindBig);
  };
  for (uint64_t seed = 7; seed < 40; ++seed) {
    sim::CaptureParams left, right;
    simulator::VirtualIrisCamera::ParamsFor(simulator::SubjectAction::PresentLooking, seed, 0,
                                            false, &left, &right);
    sim::RenderBinocularFrame(sim::Subject(seed), left, right, frame.data(), 1920, 1080,
                              sim::FrameFormat::Bgr24BottomUp);
    prepare();
    session::MatchFrame(*ctrl, nullptr, 0, db.data(), count, nullptr, 0, nullptr, nullptr,
                        ctrl->m_big.eyeImage[0], ctrl->m_big.eyeImage[1], nullptr, nullptr);
    if (ctrl->m_workflow.matchProcessCode[engine::KindBig][0] == 1) break;
  }
  int64_t accepted = 0;
  for (auto _ : state) {
    prepare();
    session::MatchFrame(*ctrl, nullptr, 0, db.data(), count, nullptr, 0, nullptr, nullptr,
                        ctrl->m_big.eyeImage[0], ctrl->m_big.eyeImage[1], nullptr, nullptr);
    accepted += ctrl->m_workflow.matchProcessCode[engine::KindBig][0] == 1;
  }
  state.counters["accepted_left"] =
      benchmark::Counter(double(accepted) / double(state.iterations()));
  ctrl.reset();
  device::InstallHidTransport(nullptr);
}
BENCHMARK(BM_ArmedBigMatchFrame)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
