// Where a control's live picture is shown on Windows: the window its COM layer shows
// in the container. Camera sessions know their control only by the opaque owner handle
// they are opened with; the COM layer names the window for that handle while the
// control is in-place active.
#pragma once

#include <windows.h>

namespace ocuvant::capture {

// `window` nullptr forgets the owner's window.
void SetPictureWindow(const void* owner, HWND window);
// The window for `owner`, or nullptr (no picture is shown then).
HWND PictureWindow(const void* owner);

}  // namespace ocuvant::capture
