// Session modes, next actions and the control's private window messages.
#pragma once

#include <cstdint>

namespace ocuvant::control {

// What the frame pipeline does with iris frames.
// Legal transitions: ModeIdle -> ModeEnrollLeft/ModeEnrollRight/ModeEnrollBoth/ModeMatch
// (a session thread arms it); any armed mode -> ModeIdle (the workflow ends or the
// iris camera closes).
enum SessionMode : int32_t {
  ModeEnrollLeft = 0,
  ModeEnrollRight = 3,
  ModeEnrollBoth = 6,
  ModeMatch = 9,
  ModeIdle = 15,
};

// What to open after a camera has closed.
enum NextAction : int32_t {
  NextNone = 0,
  NextVisiblePhoto = 1,
  NextInfraredPhoto = 2,
  NextIris = 3,
  NextInfraredFace = 4,
};

// Private messages of the control's window (LPARAM always 0).
inline constexpr uint32_t WM_ENROLL_BOTH_DONE = 0x13A0;   // WPARAM: enrollment result
inline constexpr uint32_t WM_MATCH_DONE = 0x13A1;         // WPARAM: match result
inline constexpr uint32_t WM_ENROLL_LEFT_DONE = 0x13A2;   // WPARAM: enrollment result
inline constexpr uint32_t WM_ENROLL_RIGHT_DONE = 0x13A3;  // WPARAM: enrollment result
inline constexpr uint32_t WM_CAMERA_NEXT = 0x13A4;        // WPARAM: NextAction
inline constexpr uint32_t WM_CAMERA_CLOSED = 0x13A5;      // WPARAM: camera kind 0, 1 or 3

// Camera kinds of CloseCameraEvent.
inline constexpr int32_t kClosedIrisCamera = 0;
inline constexpr int32_t kClosedPhotoCamera = 1;
inline constexpr int32_t kClosedFaceCamera = 3;

}  // namespace ocuvant::control
