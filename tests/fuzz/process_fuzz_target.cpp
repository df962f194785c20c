#include "tests/fuzz/process_fuzz_target.h"

#include <cstring>
#include <memory>
#include <vector>

#include "engine/common/engine_ops.h"
#include "simulator/render/eye_renderer.h"

namespace {

using namespace ocuvant;
using engine::EngineOps;

// Rendered eyes are the interesting bases: cache a few per kind.
constexpr int kBases = 4;

struct KindBuffers {
  std::vector<uint8_t> bases[kBases];
  // Exact sizes, so that the address sanitizer sees any write past them.
  std::vector<uint8_t> eye, templ, crop;
};

KindBuffers& Buffers(int kind) {
  static std::unique_ptr<KindBuffers> all[engine::kKindCount];
  if (!all[kind]) {
    auto b = std::make_unique<KindBuffers>();
    const int w = engine::kEyeWidth[kind], h = engine::kEyeHeight[kind];
    for (int i = 0; i < kBases; ++i) {
      b->bases[i].resize(static_cast<size_t>(w) * h);
      sim::CaptureParams p = sim::GoodCapture(w, h, 100 + i);
      if (i == 2) p.centerX = 60;  // eye at the border
      if (i == 3) p.openness = 0.3;
      sim::RenderEye(sim::Subject(7 + i), i & 1, p, b->bases[i].data(), w, h);
    }
    b->eye.resize(static_cast<size_t>(w) * h);
    b->templ.resize(engine::kTemplateBytes);
    b->crop.resize(static_cast<size_t>(engine::kCropSide[kind]) * engine::kCropSide[kind]);
    all[kind] = std::move(b);
  }
  return *all[kind];
}

const EngineOps& ReadyEngine(int kind) {
  static bool ready[engine::kKindCount] = {};
  const EngineOps& ops = engine::Engine(static_cast<engine::TemplateKind>(kind));
  if (!ready[kind]) {
    ops.InitEngine();
    ops.SetEnrollQuality(60, 35, 50, 60, 30);
    ops.SetMatchQuality(50, 30, 50, 50, 30);
    ready[kind] = true;
  }
  return ops;
}

int32_t ReadI32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<int32_t>(v);
}

}  // namespace

// Layout: [kind+mode][base][rect: 4 x int32 little-endian][payload...]
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 18) return 0;
  const int kind = data[0] % engine::kKindCount;
  const bool match = (data[0] / engine::kKindCount) & 1;
  KindBuffers& b = Buffers(kind);
  const EngineOps& ops = ReadyEngine(kind);
  const uint8_t* payload = data + 18;
  const size_t payloadSize = size - 18;
  const size_t n = b.eye.size();

  const int base = data[1] % 8;
  if (base < kBases) {
    // Rendered eye with payload bytes written as (position, value) patches of 4 + 1 bytes,
    // each patch a short run so edges and reflections can appear.
    std::memcpy(b.eye.data(), b.bases[base].data(), n);
    for (size_t i = 0; i + 5 <= payloadSize; i += 5) {
      const size_t at = static_cast<uint32_t>(ReadI32(payload + i)) % n;
      const size_t run = std::min<size_t>(n - at, 1 + payload[i + 4] % 64);
      std::memset(b.eye.data() + at, payload[i + 4], run);
    }
  } else if (base == kBases || payloadSize == 0) {
    std::memset(b.eye.data(), payloadSize ? payload[0] : data[1], n);  // flat image
  } else {
    for (size_t i = 0; i < n; ++i) b.eye[i] = payload[i % payloadSize];  // tiled input
  }

  const int32_t l = ReadI32(data + 2), r = ReadI32(data + 6), t = ReadI32(data + 10),
                bo = ReadI32(data + 14);
  const int32_t code =
      match ? ops.ProcessMatchImage(b.eye.data(), b.templ.data(), b.crop.data(), l, r, t, bo)
            : ops.ProcessEnrollImage(b.eye.data(), b.templ.data(), b.crop.data(), l, r, t, bo);
  if (code == 1) {
    int32_t q[6];
    ops.GetQualityScores(q);
    if (ops.GetLocationResult) ops.GetLocationResult(&q[0], &q[1], &q[2], &q[3]);
    float score;
    ops.MatchTemplate(b.templ.data(), b.templ.data(), 1, &score);
  }
  return 0;
}
