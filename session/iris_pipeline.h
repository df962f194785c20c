// The iris frame pipeline: camera frames (bottom-up BGR24, 1920 x 1080) of an armed
// session become the control's grey frame (top row first, mirrored), the eye images
// of each template kind, optional raw dumps, and one call of the session's workflow.
// Runs on the camera's streaming thread under the main capture session's frame lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/frame_route.h"
#include "engine/common/engine_types.h"

namespace ocuvant::control {
class COcuvantCtrl;
}

namespace ocuvant::session {

inline constexpr int kIrisFrameWidth = 1920;
inline constexpr int kIrisFrameHeight = 1080;
inline constexpr size_t kIrisFrameBytes = size_t{kIrisFrameWidth} * kIrisFrameHeight * 3;
inline constexpr size_t kGreyFrameBytes = size_t{kIrisFrameWidth} * kIrisFrameHeight;
// Frames of an armed session that are skipped before the workflow sees any.
inline constexpr int32_t kSkippedFrames = 5;
// Least time between two realtime raw captures, milliseconds.
inline constexpr uint32_t kRealtimeCaptureIntervalMs = 500;

// Frame entry of the capture layer: iris frames to OnIrisFrame; nothing while the
// control ignores frames.
void OnFrame(control::COcuvantCtrl& ctrl, const uint8_t* data, long length,
             capture::FrameRoute route);

// 1 when the frame reached a workflow, 0 when it was skipped. A frame shorter than
// 1920 x 1080 x 3 bytes, or from a camera of another geometry, is dropped (counted,
// logged once per session).
int32_t OnIrisFrame(control::COcuvantCtrl& ctrl, const uint8_t* data, long length);

// Blue byte of every pixel of a bottom-up 1920 x 1080 BGR24 frame, rows turned top
// row first, into `grey` (1920 x 1080 bytes).
void GreyFromBottomUpBgr(const uint8_t* bgr, uint8_t* grey);

// Reverses every row of a rows x columns 8-bit image in place.
void MirrorRows(uint8_t* image, int rows, int columns);

// Both of the above in one pass, as the pipeline does it: grey[i * 1920 + j] is the
// blue byte of stored pixel 1919 - j of stored row 1079 - i.
void MirroredGreyFromBottomUpBgr(const uint8_t* bgr, uint8_t* grey);

// Cuts kind `kind`'s left and right eye images out of the control's grey frame.
void CutEyeImages(control::COcuvantCtrl& ctrl, engine::TemplateKind kind);

// Module-wide figures: the workflow's result for the last processed frame (-1 before
// any), the number of the last realtime file written (0 before any), and the frames
// dropped for their size since the process started.
int32_t LastFrameResult();
int32_t RealtimeFileCounter();
int64_t DroppedIrisFrames();

// A session or enrollment step begins: the wrong-size notice may be logged again.
void StartIrisPipelineSession();

}  // namespace ocuvant::session
