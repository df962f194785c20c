// Process operations per kind on rendered eyes: an accepted capture and rejected ones
// (defocused, closed eye, no eye). Each iteration copies the rendered image first (the
// engines write into it); the copy costs well under 0.1 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/common/engine_ops.h"
#include "simulator/render/eye_renderer.h"

namespace {

using namespace ocuvant;
using engine::EngineOps;
using engine::TemplateKind;

void BM_Process(benchmark::State& st) {
  const auto kind = static_cast<TemplateKind>(st.range(0));
  const auto variant = static_cast<sim::EyeVariant>(st.range(1));
  const bool match = st.range(2) != 0;
  const int w = engine::kEyeWidth[kind], h = engine::kEyeHeight[kind];
  const EngineOps& ops = engine::Engine(kind);
  ops.InitEngine();
  if (kind == engine::KindQ5) {
    ops.SetEnrollQuality(60, 35, 50, 0, 0);
    ops.SetMatchQuality(50, 33, 50, 0, 0);
  } else {
    ops.SetEnrollQuality(60, 35, 50, 60, 30);
    ops.SetMatchQuality(50, 30, 50, 50, 30);
  }
  std::vector<uint8_t> rendered(static_cast<size_t>(w) * h), eye(rendered.size());
  std::vector<uint8_t> crop(static_cast<size_t>(engine::kCropSide[kind]) * engine::kCropSide[kind]);
  uint8_t templ[engine::kTemplateBytes];
  sim::CaptureParams params = sim::GoodCapture(w, h, 11);
  params.variant = variant;
  sim::RenderEye(sim::Subject(5), 0, params, rendered.data(), w, h);
  int32_t code = 0;
  for (auto _ : st) {
    eye = rendered;
    code = match ? ops.ProcessMatchImage(eye.data(), templ, crop.data(), 0, w, 0, h)
                 : ops.ProcessEnrollImage(eye.data(), templ, crop.data(), 0, w, 0, h);
    benchmark::DoNotOptimize(code);
  }
  st.counters["code"] = code;
}
// Args: kind (0 small, 1 big, 2 q5), variant (0 good, 1 defocused, 2 closed, 3 no eye),
// match mode. Run with --benchmark_repetitions=5 for medians.
BENCHMARK(BM_Process)
    ->ArgNames({"kind", "variant", "match"})
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}, {0}})
    ->ArgsProduct({{0, 1, 2}, {0}, {1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
