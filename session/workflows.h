// Entry points of the enrollment and matching workflows, called by the iris frame
// pipeline on the camera's streaming thread (with the main capture session's lock
// held), and the per-session / per-step resets called before a session is armed.
//
// Eye images are the current frame's cuts held in the control (KindState::eyeImage):
// Small 960 x 960, Big 1280 x 960, Q5 1280 x 1080, 8-bit grey, top row first,
// stride == width. Each workflow entry returns the workflow's current result code
// (m_lastResult while the frame decided nothing, or a step failure code).
//
// Result messages go to the host's thread with ctrl.SendControlMessage(WM_..., r)
// (synchronous: returns once the handler fired the event); the background snapshot
// with ctrl.m_bkCapture->RequestSnapshot(kind, path) (m_bkCapture is never null).
#pragma once

#include <cstdint>

#include "engine/common/engine_types.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

// Both-eye enrollment (session mode ModeEnrollBoth).
int32_t EnrollBothFrame(control::COcuvantCtrl& ctrl, const uint8_t* smallLeft,
                        const uint8_t* smallRight, const uint8_t* q5Left, const uint8_t* q5Right,
                        const uint8_t* bigLeft, const uint8_t* bigRight);

// Single-eye enrollment (ModeEnrollLeft / ModeEnrollRight). resultMessage is
// WM_ENROLL_LEFT_DONE or WM_ENROLL_RIGHT_DONE.
int32_t EnrollSingleFrame(control::COcuvantCtrl& ctrl, engine::EyeSide eye, uint32_t resultMessage,
                          const uint8_t* smallImage, const uint8_t* q5Image,
                          const uint8_t* bigImage);

// Matching (ModeMatch): the host's databases (templates as int32 words, count of
// templates) and the six eye images of the frame.
int32_t MatchFrame(control::COcuvantCtrl& ctrl, const int32_t* smallDb, int32_t smallCount,
                   const int32_t* bigDb, int32_t bigCount, const int32_t* q5Db, int32_t q5Count,
                   const uint8_t* smallLeft, const uint8_t* smallRight, const uint8_t* bigLeft,
                   const uint8_t* bigRight, const uint8_t* q5Left, const uint8_t* q5Right);

// The time-out outcome of the armed enrollment step or match session without a new
// frame (its camera stopped delivering): what the first frame past the time-out
// would have decided. Called with the main capture's frame lock held.
int32_t EnrollTimedOut(control::COcuvantCtrl& ctrl);
int32_t MatchTimedOut(control::COcuvantCtrl& ctrl);

// Clears everything a new enrollment (step 0) or a match session starts from,
// m_frameCount included (implemented in session_reset.cpp).
void ResetSession(control::COcuvantCtrl& ctrl);
// The same for step 1 of an enrollment, keeping m_enrollStep, m_fillLightOn,
// maxPupilRatio, the Big match scratch and the step-0 templates.
void ResetStep(control::COcuvantCtrl& ctrl);

}  // namespace ocuvant::session
