#include "tests/engine_blackbox/rendered_eyes.h"

#include <memory>

namespace ocuvant::engine::blackbox {

namespace {

// Thresholds of the control's defaults.
void Ready(TemplateKind kind) {
  static bool ready[kKindCount] = {};
  if (ready[kind]) return;
  const EngineOps& ops = Engine(kind);
  ops.InitEngine();
  if (kind == KindQ5) {
    ops.SetEnrollQuality(60, 35, 50, 0, 0);
    ops.SetMatchQuality(50, 33, 50, 0, 0);
  } else {
    ops.SetEnrollQuality(60, 35, 50, 60, 30);
    ops.SetMatchQuality(50, 30, 50, 50, 30);
  }
  ready[kind] = true;
}

}  // namespace

ProcessedEye RenderAndProcess(TemplateKind kind, int subject, int capture, bool match,
                              sim::EyeVariant variant) {
  Ready(kind);
  const int w = kEyeWidth[kind], h = kEyeHeight[kind], side = kCropSide[kind];
  static std::vector<uint8_t> eye, crop;
  eye.resize(static_cast<size_t>(w) * h);
  crop.resize(static_cast<size_t>(side) * side);

  ProcessedEye out;
  out.subject = subject;
  out.capture = capture;
  out.variant = variant;
  sim::CaptureParams params =
      sim::GoodCapture(w, h, static_cast<uint64_t>(subject) * 1000 + capture);
  params.variant = variant;
  out.truth = sim::RenderEye(sim::Subject(static_cast<uint64_t>(subject)), subject & 1, params,
                             eye.data(), w, h);
  const EngineOps& ops = Engine(kind);
  out.code = match ? ops.ProcessMatchImage(eye.data(), out.templ.data(), crop.data(), 0, w, 0, h)
                   : ops.ProcessEnrollImage(eye.data(), out.templ.data(), crop.data(), 0, w, 0, h);
  if (out.code == 1 && ops.GetLocationResult != nullptr)
    ops.GetLocationResult(&out.location[0], &out.location[1], &out.location[2], &out.location[3]);
  return out;
}

const std::vector<ProcessedEye>& EnrollFolder(TemplateKind kind) {
  static std::unique_ptr<std::vector<ProcessedEye>> folders[kKindCount];
  if (!folders[kind]) {
    auto folder = std::make_unique<std::vector<ProcessedEye>>();
    for (int s = 1; s <= kSubjects; ++s)
      for (int c = 1; c <= kCapturesPerSubject; ++c)
        folder->push_back(RenderAndProcess(kind, s, c, false));
    folders[kind] = std::move(folder);
  }
  return *folders[kind];
}

}  // namespace ocuvant::engine::blackbox
