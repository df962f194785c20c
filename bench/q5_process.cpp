// Time of one Q5 ProcessEnrollImage call on rendered 1280 x 1080 eyes (the image is
// restored before each call, since the engine writes into it).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/q5/q5_engine.h"
#include "simulator/render/eye_renderer.h"

namespace {

constexpr int kW = 1280, kH = 1080, kImages = 8;

void Q5ProcessEnroll(benchmark::State& state) {
  using namespace ocuvant;
  engine::q5::InitEngine();
  engine::q5::SetEnrollQuality(60, 35, 50);
  std::vector<std::vector<uint8_t>> eyes(kImages, std::vector<uint8_t>(kW * kH));
  for (int i = 0; i < kImages; ++i) {
    const sim::Subject subject(100 + i);
    sim::RenderEye(subject, i & 1, sim::GoodCapture(kW, kH, 7 + i), eyes[i].data(), kW, kH);
  }
  std::vector<uint8_t> work(kW * kH), crop(360 * 360);
  uint8_t tmpl[512];
  int i = 0, accepted = 0, calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), eyes[i].data(), work.size());
    i = (i + 1) % kImages;
    state.ResumeTiming();
    const int32_t rc = engine::q5::ProcessEnrollImage(work.data(), tmpl, crop.data());
    accepted += rc == 1;
    ++calls;
    benchmark::DoNotOptimize(rc);
  }
  state.counters["accepted"] = calls ? static_cast<double>(accepted) / calls : 0;
}
BENCHMARK(Q5ProcessEnroll)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
