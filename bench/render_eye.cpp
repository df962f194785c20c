// Render time of one synthetic eye image per eye-image size, of a binocular
// frame, and of building a subject.
#include <benchmark/benchmark.h>

#include <vector>

#include "simulator/render/eye_renderer.h"

namespace {

using ocuvant::sim::CaptureParams;
using ocuvant::sim::EyeVariant;
using ocuvant::sim::Subject;

void RenderEyeImage(benchmark::State& state, int width, int height, EyeVariant variant) {
  const Subject subject(11);
  std::vector<uint8_t> image(static_cast<size_t>(width) * height);
  uint64_t capture = 1;
  for (auto _ : state) {
    CaptureParams p = ocuvant::sim::GoodCapture(width, height, capture++);
    p.variant = variant;
    benchmark::DoNotOptimize(ocuvant::sim::RenderEye(subject, 0, p, image.data(), width, height));
    benchmark::ClobberMemory();
  }
}

void BinocularFrame(benchmark::State& state) {
  const Subject subject(11);
  std::vector<uint8_t> frame(1920 * 1080 * 3);
  CaptureParams left, right;
  left.irisRadius = right.irisRadius = 100;
  for (auto _ : state) {
    ++left.captureSeed;
    ++right.captureSeed;
    benchmark::DoNotOptimize(ocuvant::sim::RenderBinocularFrame(
        subject, left, right, frame.data(), 1920, 1080, ocuvant::sim::FrameFormat::Bgr24BottomUp));
    benchmark::ClobberMemory();
  }
}

void BuildSubject(benchmark::State& state) {
  uint64_t seed = 1;
  for (auto _ : state) {
    Subject subject(seed++);
    benchmark::DoNotOptimize(subject.irisTable(0));
  }
}

BENCHMARK_CAPTURE(RenderEyeImage, small_960x960, 960, 960, EyeVariant::Normal)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderEyeImage, big_1280x960, 1280, 960, EyeVariant::Normal)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderEyeImage, q5_1280x1080, 1280, 1080, EyeVariant::Normal)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderEyeImage, q5_defocused, 1280, 1080, EyeVariant::Defocused)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BinocularFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildSubject)->Unit(benchmark::kMillisecond);

}  // namespace
