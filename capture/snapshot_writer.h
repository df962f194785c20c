// Snapshot files: one frame, exactly as the grabber delivered it, as a 24-bit BMP.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ocuvant::capture {

inline constexpr size_t kSnapshotPathBufferSize = 260;  // a path holds at most 259 bytes
inline constexpr uint32_t kBmpHeadersSize = 54;         // file header 14 + info header 40

// Copies `path` into `pathBuffer` and writes the file: headers with the stored frame size
// (`width` x `height`, 24 bits, bottom-up), then the `length` bytes of the frame without
// re-padding. Returns false (and writes nothing) when the path does not fit the buffer or
// the file cannot be created or written.
bool SaveSnapshotBmp(const uint8_t* buffer, long length, int32_t width, int32_t height,
                     const char* path, char (&pathBuffer)[kSnapshotPathBufferSize]);

}  // namespace ocuvant::capture
