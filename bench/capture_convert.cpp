// Frame work of the capture layer for one 1920 x 1080 camera frame: the hand-written
// YUYV to bottom-up BGR24 conversion, the V4L2 source's conversion of each camera format
// (libv4lconvert, TurboJPEG), and a snapshot BMP written to /tmp.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <string>

#include "capture/bgr_conversion.h"
#include "capture/snapshot_writer.h"
#include "capture/v4l2_frame_converter.h"

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

// A frame of `pixelFormat` (arbitrary bytes; a JPEG of a textured picture).
std::vector<uint8_t> FrameOf(uint32_t pixelFormat) {
  if (pixelFormat == V4L2_PIX_FMT_MJPEG) {
    std::vector<uint8_t> bgr(static_cast<size_t>(kWidth) * kHeight * 3);
    for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>((i / 3) % 1920 / 8);
    tjhandle h = tjInitCompress();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    tjCompress2(h, bgr.data(), kWidth, kWidth * 3, kHeight, TJPF_BGR, &data, &size, TJSAMP_422, 85,
                0);
    std::vector<uint8_t> jpeg(data, data + size);
    tjFree(data);
    tjDestroy(h);
    return jpeg;
  }
  std::vector<uint8_t> f(static_cast<size_t>(kWidth) * kHeight * 3);
  for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 31 + i / 3840);
  return f;
}

void BM_SourceConversion(benchmark::State& state) {
  const auto pixelFormat = static_cast<uint32_t>(state.range(0));
  ocuvant::capture::V4l2FrameConverter converter;
  std::string error;
  if (!converter.Setup(-1, pixelFormat, kWidth, kHeight, 0, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::vector<uint8_t> frame = FrameOf(pixelFormat);
  std::vector<uint8_t> bgr(static_cast<size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        converter.Convert(frame.data(), frame.size(), bgr.data(), kWidth * 3, &error));
  }
  state.SetLabel(std::string(reinterpret_cast<const char*>(&pixelFormat), 4));
}
BENCHMARK(BM_SourceConversion)
    ->Unit(benchmark::kMillisecond)
    ->Arg(V4L2_PIX_FMT_YUYV)
    ->Arg(V4L2_PIX_FMT_UYVY)
    ->Arg(V4L2_PIX_FMT_NV12)
    ->Arg(V4L2_PIX_FMT_YUV420)
    ->Arg(V4L2_PIX_FMT_GREY)
    ->Arg(V4L2_PIX_FMT_RGB24)
    ->Arg(V4L2_PIX_FMT_BGR24)
    ->Arg(V4L2_PIX_FMT_MJPEG);

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
