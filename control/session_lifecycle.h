// The iris session's lifecycle: read this first. The state is not stored apart from
// the control's flags (m_irisOpen, m_sessionMode, m_enrollStep and the count of iris
// closes at work); IrisStateOf reads it from them, so every log line and result code
// stays with the method that has always produced it.
//
// States and what holds in them:
//   NoCamera     no iris camera: m_irisOpen clear, no close at work
//   Open         iris camera open, m_sessionMode = ModeIdle, m_enrollStep 0: idle, or a
//                started session whose thread has not armed it yet, or one that ended
//                and whose result message is on its way to the handler
//   Armed        m_sessionMode is ModeEnrollLeft/Right/Both or ModeMatch; m_enrollStep
//                is the enrollment's step (0 or 1)
//   BetweenSteps step 0 done and step 1 started by the result handler, not yet armed
//                (m_enrollStep 1, ModeIdle), or step 1 ended and not yet reported
//   Closing      one or more iris closes at work (m_framesIgnored set, the camera is not
//                ready; an InitIris now marks it to open once the last close is done, and
//                a StopIris or CloseIris after it takes that back)
//
// Legal transitions (host call or handler -> state):
//   NoCamera     -> Open (InitIris, InitCaptureIris, the chained NextIris open)
//                -> Closing (StopIris with nothing open still runs a close)
//                   (a session started here waits 5 s for a camera, then ends with -10)
//   Open         -> Armed (the session thread of EnrollBothIris, EnrollLeftIris,
//                   EnrollRightIris or MatchIris arms the pipeline)
//                -> Closing (StopIris, CloseIris, InitPhotoCapture, InitInfraredFace,
//                   the result handler of a session)
//   Armed        -> Open (the workflow or the time-out ends the session: ModeIdle)
//                -> BetweenSteps (step 0 done: the result handler starts step 1)
//                -> Closing (a close by the host; the camera was lost; a close in the
//                   pause after step 0, which ends the enrollment with -10 when step 0's
//                   result reaches the handler: no step 1 waits for a later camera)
//   BetweenSteps -> Armed (step 1 armed)
//                -> Closing (the result handler of step 1; step 1 could not start: the
//                   enrollment ends with its code)
//   Closing      -> NoCamera (the last close is done: CloseCameraEvent(0, 0), or the
//                   next action's camera opens)
//                -> Open (the close is done and InitIris asked for the camera meanwhile)
// Host starts: an enrollment the host starts always begins at step 0 (ResetSession);
// only the result handler of step 0 starts step 1. A start while Armed, or while a
// session is still ending (its frame holds the capture lock), returns -100. Every
// enrollment or match that ends is reported once (its result event), and every close
// switches the fill light off (CmdIlluminatorOff when "iris_hid_ctl" is on).
#pragma once

#include <cstdint>

namespace ocuvant::control {

class COcuvantCtrl;

enum class IrisState : int32_t {
  NoCamera = 0,
  Open = 1,
  Armed = 2,
  BetweenSteps = 3,
  Closing = 4,
};
inline constexpr int32_t kIrisStateCount = 5;

// The state as the control's flags show it now (any thread; a snapshot).
IrisState IrisStateOf(COcuvantCtrl& ctrl);
// True when `to` follows `from` directly in the table above (or equals it).
bool IrisTransitionLegal(IrisState from, IrisState to);
// True when `to` can follow `from` through any number of legal transitions.
bool IrisStateReachable(IrisState from, IrisState to);
const char* IrisStateName(IrisState state);

}  // namespace ocuvant::control
