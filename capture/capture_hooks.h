// How the capture layer reaches the control: a table of plain functions the control
// installs once. Until then (and after InstallCaptureHooks(nullptr)) every hook does
// nothing, so sessions can run without a control (tests, tools).
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/frame_route.h"

namespace ocuvant::capture {

struct CaptureHooks {
  void* context = nullptr;
  // Frame entry (the control's OnFrame): bottom-up BGR24 bytes, length in bytes, route.
  // Called on the streaming thread; returns when the frame is processed.
  void (*onFrame)(void* context, const uint8_t* data, long length, FrameRoute route) = nullptr;
  // Log helpers: LogIfEnabled fires only when logging is on, LogAlways always.
  void (*logIfEnabled)(void* context, const char* text, const char* tag) = nullptr;
  void (*logAlways)(void* context, const char* text, const char* tag) = nullptr;
  // A snapshot was taken (file written, or could not be written): fires PhotoCaptureEvent.
  void (*photoCaptured)(void* context, int32_t captureKind, const char* path) = nullptr;
  // The camera of a running session stopped on its own (unplugged, I/O error).
  void (*cameraLost)(void* context, const char* sessionName) = nullptr;
};

// Installs `hooks` (the table must outlive its installation); nullptr restores the
// defaults. Safe to call while sessions stream.
void InstallCaptureHooks(const CaptureHooks* hooks);

void LogIfEnabled(const char* text, const char* tag);
void LogAlways(const char* text, const char* tag);
void NotifyFrame(const uint8_t* data, long length, FrameRoute route);
void NotifyPhotoCaptured(int32_t captureKind, const char* path);
void NotifyCameraLost(const char* sessionName);

}  // namespace ocuvant::capture
