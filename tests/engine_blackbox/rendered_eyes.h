// Rendered eye folders per kind: each image rendered from a seeded subject and capture and
// run through the kind's Process operation with the thresholds the control hands over.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/common/engine_ops.h"
#include "simulator/render/eye_renderer.h"

namespace ocuvant::engine::blackbox {

inline constexpr int kSubjects = 30;
inline constexpr int kCapturesPerSubject = 3;

struct ProcessedEye {
  int subject = 0;
  int capture = 0;
  sim::EyeVariant variant = sim::EyeVariant::Normal;
  sim::EyeTruth truth;
  int32_t code = 0;
  std::array<int32_t, 4> location{};  // x, y, irisRadius, pupilRadius (small, big)
  std::array<uint8_t, kTemplateBytes> templ{};
};

// Renders subject/capture (eye = subject & 1) of the kind's size and processes it.
ProcessedEye RenderAndProcess(TemplateKind kind, int subject, int capture, bool match,
                              sim::EyeVariant variant = sim::EyeVariant::Normal);

// Good captures 1..kCapturesPerSubject of subjects 1..kSubjects in enrollment mode, computed
// once per kind and kept for the whole test program.
const std::vector<ProcessedEye>& EnrollFolder(TemplateKind kind);

}  // namespace ocuvant::engine::blackbox
