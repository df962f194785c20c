// A viewer's look at the frames of the capture sessions (the web host's live
// picture). The tap is called on the streaming thread with every frame a session
// delivers, after the control had it; it must only copy what it needs and return.
#pragma once

#include <cstdint>

#include "capture/frame_route.h"

namespace ocuvant::capture {

// Frame: bottom-up BGR24, `width` x `height`, `length` bytes.
using FrameTap = void (*)(void* context, const uint8_t* frame, long length, int32_t width,
                          int32_t height, FrameRoute route);

// Installs the tap (nullptr removes it). Remove it before `context` goes away; a
// frame already inside the tap finishes first.
void InstallFrameTap(FrameTap tap, void* context);
void NotifyFrameTap(const uint8_t* frame, long length, int32_t width, int32_t height,
                    FrameRoute route);

}  // namespace ocuvant::capture
