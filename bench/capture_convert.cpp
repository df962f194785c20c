// Frame work of the capture layer for one 1920 x 1080 camera frame: the YUYV to
// bottom-up BGR24 conversion of the V4L2 backend, and a snapshot BMP written to /tmp.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "capture/bgr_conversion.h"
#include "capture/snapshot_writer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void BM_YuyvToBgrBottomUp(benchmark::State& state) {
  std::vector<uint8_t> yuyv(static_cast<size_t>(kWidth) * kHeight * 2);
  for (size_t i = 0; i < yuyv.size(); ++i) yuyv[i] = static_cast<uint8_t>(i * 31 + i / 3840);
  std::vector<uint8_t> bgr(static_cast<size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    ocuvant::capture::ConvertYuyvToBgrBottomUp(yuyv.data(), kWidth * 2, kWidth, kHeight, bgr.data(),
                                               kWidth * 3);
    benchmark::DoNotOptimize(bgr.data());
  }
}
BENCHMARK(BM_YuyvToBgrBottomUp)->Unit(benchmark::kMillisecond);

void BM_SnapshotBmp(benchmark::State& state) {
  std::vector<uint8_t> bgr(static_cast<size_t>(kWidth) * kHeight * 3, 128);
  char path[ocuvant::capture::kSnapshotPathBufferSize];
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ocuvant::capture::SaveSnapshotBmp(bgr.data(), static_cast<long>(bgr.size()), kWidth,
                                          kHeight, "/tmp/ocuvant_bench_snapshot.bmp", path));
  }
}
BENCHMARK(BM_SnapshotBmp)->Unit(benchmark::kMillisecond);

}  // namespace
