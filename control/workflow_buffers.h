// Working buffers of the enrollment and matching workflows, held by the control so
// that no frame allocates: per-eye engine outputs, the working copies of the eye
// images (the engines alter the image they are given) and per-frame scratch.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "control/kind_state.h"
#include "engine/common/engine_types.h"

namespace ocuvant::control {

// What a host may show while a session runs, per kind and eye; written by the
// streaming thread, read by any thread.
struct EyeProgress {
  std::atomic<int32_t> accepted;       // images accepted in the current batch (0 to 3)
  std::atomic<int32_t> failedBatches;  // batches of this step that gave no template
  std::atomic<int32_t> stepResult;     // enrollment: 1 done, 0 going on, -1 / -20 failed
  std::atomic<int32_t> lastRejection;  // last negative engine code of the step (0: none)
};

struct WorkflowBuffers {
  static constexpr size_t kMaxCropBytes = BigKindState::kCropBytes;  // 360 x 360 (Big, Q5)

  // Engine outputs of the eye being processed: the 512-byte feature and the iris crop.
  uint8_t feature[kEyes][engine::kTemplateBytes];
  uint8_t irisImage[kEyes][kMaxCropBytes];
  // Both-eye enrollment: working copies of the left and right eye images of the kind
  // being processed. Kinds are processed one after the other and a copy is not read
  // once its kind is done, so one pair sized for the largest eye image serves all.
  static constexpr size_t kMaxEyeBytes = Q5KindState::kEyeBytes;
  uint8_t eyeCopy[kEyes][kMaxEyeBytes];
  // Quality and location of the image just processed.
  int32_t quality[6];
  int32_t location[4];
  // Matching: each eye's ProcessMatchImage result of the current frame (-1: not
  // processed), per kind, and the score of the last MatchTemplate call.
  int32_t matchProcessCode[engine::kKindCount][kEyes];
  float matchScore;
  EyeProgress progress[engine::kKindCount][kEyes];

  // A new session or enrollment step: nothing accepted or rejected yet.
  void ResetProgress() {
    for (auto& kind : progress) {
      for (EyeProgress& p : kind) {
        p.accepted = 0;
        p.failedBatches = 0;
        p.stepResult = -1;
        p.lastRejection = 0;
      }
    }
  }
};

static_assert(Q5KindState::kCropBytes <= WorkflowBuffers::kMaxCropBytes &&
              SmallKindState::kCropBytes <= WorkflowBuffers::kMaxCropBytes);
static_assert(SmallKindState::kEyeBytes <= WorkflowBuffers::kMaxEyeBytes &&
              BigKindState::kEyeBytes <= WorkflowBuffers::kMaxEyeBytes);

}  // namespace ocuvant::control
