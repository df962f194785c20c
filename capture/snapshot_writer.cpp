#include "capture/snapshot_writer.h"

#include <cstring>

#include "platform/file.h"

namespace ocuvant::capture {
namespace {

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool SaveSnapshotBmp(const uint8_t* buffer, long length, int32_t width, int32_t height,
                     const char* path, char (&pathBuffer)[kSnapshotPathBufferSize]) {
  if (buffer == nullptr || path == nullptr || length < 0) return false;
  const size_t pathLength = std::strlen(path);
  if (pathLength == 0 || pathLength >= kSnapshotPathBufferSize) return false;
  std::memcpy(pathBuffer, path, pathLength + 1);

  uint8_t headers[kBmpHeadersSize] = {};
  headers[0] = 'B';
  headers[1] = 'M';
  PutU32(headers + 2, static_cast<uint32_t>(length) + kBmpHeadersSize);
  PutU32(headers + 10, kBmpHeadersSize);  // pixel data offset; reserved words stay 0
  uint8_t* info = headers + 14;
  PutU32(info + 0, 40);
  PutU32(info + 4, static_cast<uint32_t>(width));
  PutU32(info + 8, static_cast<uint32_t>(height));
  PutU16(info + 12, 1);   // planes
  PutU16(info + 14, 24);  // bits per pixel; compression, sizes and palette fields stay 0

  platform::OutputFile file;
  if (!file.Create(pathBuffer)) return false;
  const bool ok =
      file.Write(headers, sizeof headers) && file.Write(buffer, static_cast<size_t>(length));
  file.Close();
  return ok;
}

}  // namespace ocuvant::capture
