// `ocuvant engine match` on a 300 000-template database file against a plain program that
// reads the same file in one go and scans it, side by side, on one thread and on all.
//   bench_engine_match_file [--benchmark_filter=...]   (writes its files to /tmp)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/common/engine_ops.h"
#include "engine/common/match_runner.h"
#include "session/match_pool.h"

namespace {

using namespace ocuvant;

constexpr size_t kTemplates = 300000;

// Binary database and a probe, written once per run.
const std::string& DatabaseFile() {
  static const std::string path = [] {
    const std::string p = "/tmp/ocuvant_bench_db_" + std::to_string(kTemplates) + ".bin";
    std::mt19937 rng(3);
    std::vector<uint8_t> bytes(kTemplates * engine::kTemplateBytes);
    for (size_t i = 0; i < bytes.size(); i += 4) {
      uint32_t w = rng();
      if (i % engine::kTemplateBytes < 2 * engine::kPlaneBytes) w |= rng();
      for (size_t b = 0; b < 4; ++b) bytes[i + b] = static_cast<uint8_t>(w >> (8 * b));
    }
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    std::FILE* probe = std::fopen("/tmp/ocuvant_bench_probe.bin", "wb");
    if (!probe || std::fwrite(bytes.data() + 12345 * 512, 1, 512, probe) != 512) std::abort();
    std::fclose(probe);
    return p;
  }();
  return path;
}

// Reads the whole file with one fread into a buffer of its size, then MatchTemplate.
void BM_PlainReadAndScan(benchmark::State& st) {
  const bool pooled = st.range(0) != 0;
  const std::string& path = DatabaseFile();
  const engine::EngineOps& ops = engine::Engine(engine::KindBig);
  ops.InitEngine();
  std::unique_ptr<session::PoolMatchRunner> runner;
  if (pooled) runner = std::make_unique<session::PoolMatchRunner>(session::MatchPoolSize(8));
  engine::SetMatchRunner(runner.get(), session::kMatchPoolMinTemplates);
  std::vector<uint8_t> probe(512);
  std::FILE* pf = std::fopen("/tmp/ocuvant_bench_probe.bin", "rb");
  if (!pf || std::fread(probe.data(), 1, 512, pf) != 512) std::abort();
  std::fclose(pf);
  for (auto _ : st) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    std::vector<uint8_t> db(static_cast<size_t>(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(db.data(), 1, db.size(), f) != db.size()) std::abort();
    std::fclose(f);
    float score;
    benchmark::DoNotOptimize(
        ops.MatchTemplate(db.data(), probe.data(), static_cast<int32_t>(db.size() / 512), &score));
  }
  engine::SetMatchRunner(nullptr, 0);
  st.SetLabel(pooled ? "all threads" : "one thread");
}
BENCHMARK(BM_PlainReadAndScan)
    ->ArgName("pooled")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The tool as a user runs it (process start, file read, engine init, scan, output).
void BM_EngineMatchTool(benchmark::State& st) {
  const bool pooled = st.range(0) != 0;
  const std::string command = std::string(pooled ? "" : "OCUVANT_MATCH_THREADS=1 ") +
                              OCUVANT_HOST_BINARY + " engine match --kind big " + DatabaseFile() +
                              " /tmp/ocuvant_bench_probe.bin > /dev/null";
  for (auto _ : st)
    if (std::system(command.c_str()) != 0) st.SkipWithError("ocuvant engine match failed");
  st.SetLabel(pooled ? "all threads" : "one thread");
}
BENCHMARK(BM_EngineMatchTool)
    ->ArgName("pooled")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
