// One eye of one kind in an enrollment step: engine call, acceptance into the
// three-image batch, template choice.
#pragma once

#include <cstdint>

#include "session/kind_view.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

// Search rectangle handed to the Small and Big engines (the Q5 engine takes none).
struct SearchRect {
  int32_t left = 0, right = 0, top = 0, bottom = 0;
};
SearchRect RectFor(const KindView& k);

// Per-eye step results.
inline constexpr int32_t kEyeDone = 1;
inline constexpr int32_t kEyeCollecting = 0;
inline constexpr int32_t kEyeFailed = -1;
inline constexpr int32_t kEyeTimedOut = -20;

// Runs the kind's ProcessEnrollImage on `image` (altered by the engine) and feeds an
// accepted image to AcceptEnrollImage: 1 the eye's template of this step is built,
// 0 going on, -1 failed (five batches), -20 the step timed out.
int32_t ProcessEnrollEye(control::COcuvantCtrl& ctrl, const KindView& k, int eye, uint8_t* image,
                         uint8_t* irisImageOut);

// Adds one accepted image to the eye's batch; at three asks the engine for the
// template to enroll. Same results as ProcessEnrollEye (without -20).
int32_t AcceptEnrollImage(control::COcuvantCtrl& ctrl, const KindView& k, int eye,
                          const uint8_t* feature, const uint8_t* irisImage, const int32_t* quality,
                          const int32_t* location);

// Makes cache slot `slot` the eye's result of this step: template, reports, eye image,
// enrollment dump.
void SelectFeature(control::COcuvantCtrl& ctrl, const KindView& k, int eye, int slot);

// Copies the eye's batch counters and step result to the control's progress record.
void PublishEnrollProgress(control::COcuvantCtrl& ctrl, const KindView& k, int eye);

}  // namespace ocuvant::session
