// Process time of the Small and Big engines on rendered eyes (accepted and rejected).
// Each iteration restores the eye image first (the engines paint into it); the copy of about
// 1 MB is part of the figure.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/common/engine_ops.h"
#include "simulator/render/eye_renderer.h"

namespace {

using ocuvant::engine::EngineOps;

void RunProcess(benchmark::State& state, const EngineOps& ops, int width, int height,
                ocuvant::sim::EyeVariant variant, bool enroll) {
  ops.InitEngine();
  std::vector<uint8_t> source(static_cast<size_t>(width) * height), eye(source.size());
  std::vector<uint8_t> crop(360 * 360);
  uint8_t templ[512];
  const ocuvant::sim::Subject subject(7);
  ocuvant::sim::CaptureParams params = ocuvant::sim::GoodCapture(width, height, 3);
  params.variant = variant;
  ocuvant::sim::RenderEye(subject, 0, params, source.data(), width, height);
  int32_t code = 0;
  for (auto _ : state) {
    std::memcpy(eye.data(), source.data(), source.size());
    code = enroll ? ops.ProcessEnrollImage(eye.data(), templ, crop.data(), 0, width, 0, height)
                  : ops.ProcessMatchImage(eye.data(), templ, crop.data(), 0, width, 0, height);
    benchmark::DoNotOptimize(code);
  }
  state.counters["code"] = code;
}

void BM_SmallEnroll(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::SmallEngine(), 960, 960,
             ocuvant::sim::EyeVariant::Normal, true);
}
void BM_SmallMatch(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::SmallEngine(), 960, 960,
             ocuvant::sim::EyeVariant::Normal, false);
}
void BM_SmallDefocused(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::SmallEngine(), 960, 960,
             ocuvant::sim::EyeVariant::Defocused, true);
}
void BM_SmallClosed(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::SmallEngine(), 960, 960,
             ocuvant::sim::EyeVariant::Closed, true);
}
void BM_BigEnroll(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::BigEngine(), 1280, 960, ocuvant::sim::EyeVariant::Normal,
             true);
}
void BM_BigMatch(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::BigEngine(), 1280, 960, ocuvant::sim::EyeVariant::Normal,
             false);
}
void BM_BigDefocused(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::BigEngine(), 1280, 960,
             ocuvant::sim::EyeVariant::Defocused, true);
}
void BM_BigClosed(benchmark::State& s) {
  RunProcess(s, ocuvant::engine::smallbig::BigEngine(), 1280, 960, ocuvant::sim::EyeVariant::Closed,
             true);
}

BENCHMARK(BM_SmallEnroll)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_SmallMatch)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_SmallDefocused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallClosed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigEnroll)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_BigMatch)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_BigDefocused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigClosed)->Unit(benchmark::kMillisecond);

}  // namespace
