// The diagnostic images the enrollment and matching workflows leave in the module
// directory: engine iris images as grey BMP, eye images as raw bytes.
#pragma once

#include <cstdint>

#include "session/kind_view.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

// Enrollment dump of one eye: the engine iris image (always) and the eye image
// (when "save_raw" is "1"), named with the current enrollment step.
void WriteEnrollDump(control::COcuvantCtrl& ctrl, const KindView& k, int eye,
                     const uint8_t* irisImage, const uint8_t* eyeImage);

// The three cached eye images of one eye (when "save_cacheraw" is "1").
void WriteCachedEnrollImages(control::COcuvantCtrl& ctrl, const KindView& k, int eye);

// Recognition dump: the probe's iris image and the eye image that matched.
void WriteRecognitionDump(control::COcuvantCtrl& ctrl, const KindView& k, const uint8_t* irisImage,
                          const uint8_t* eyeImage);

// Time-out dump of one kind: the probe's iris image, and each eye image named with
// its process code of the last frame.
void WriteMatchTimeoutDump(control::COcuvantCtrl& ctrl, const KindView& k, const uint8_t* irisImage,
                           const uint8_t* leftEye, const uint8_t* rightEye);

}  // namespace ocuvant::session
