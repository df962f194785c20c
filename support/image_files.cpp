#include "support/image_files.h"

#include <array>
#include <exception>

#include "platform/file.h"
#include "platform/message_box.h"

namespace ocuvant::support {
namespace {

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v & 0xFFFFu);
  PutU16(p + 2, v >> 16);
}

uint64_t BmpStride(int width) {
  return (static_cast<uint64_t>(width) * 3 + 3) / 4 * 4;
}

// Streams the pixel rows through a fixed buffer so no image-sized memory is needed.
class ChunkWriter {
 public:
  explicit ChunkWriter(platform::OutputFile& file) : file_(file) {}
  void Put(uint8_t v) {
    buffer_[used_++] = v;
    if (used_ == buffer_.size()) Flush();
  }
  bool Flush() {
    if (used_ > 0 && ok_) ok_ = file_.Write(buffer_.data(), used_);
    used_ = 0;
    return ok_;
  }

 private:
  platform::OutputFile& file_;
  std::array<uint8_t, 16384> buffer_{};
  size_t used_ = 0;
  bool ok_ = true;
};

}  // namespace

bool WriteRawFile(const void* bytes, size_t size, const std::string& path) {
  platform::OutputFile file;
  bool ok = file.Create(path);
  if (ok && size > 0) ok = bytes != nullptr && file.Write(bytes, size);
  file.Close();
  if (!ok) platform::ShowMessageBox(kRawWriteErrorText);
  return ok;
}

uint64_t GreyBmpFileSize(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const uint64_t size = kBmpPixelOffset + BmpStride(width) * static_cast<uint64_t>(height);
  return size > UINT32_MAX ? 0 : size;
}

int WriteGreyBmp(const uint8_t* grey, int width, int height, const std::string& path) {
  const uint64_t fileSize = GreyBmpFileSize(width, height);
  if (grey == nullptr || fileSize == 0) return -1;

  uint8_t fileHeader[kBmpFileHeaderBytes] = {'B', 'M'};
  PutU32(fileHeader + 2, static_cast<uint32_t>(fileSize));
  PutU32(fileHeader + 10, kBmpPixelOffset);
  uint8_t info[kBmpInfoHeaderBytes] = {};
  PutU32(info + 0, kBmpInfoHeaderBytes);
  PutU32(info + 4, static_cast<uint32_t>(width));
  PutU32(info + 8, static_cast<uint32_t>(height));  // positive: bottom row first
  PutU16(info + 12, 1);                             // planes
  PutU16(info + 14, 24);                            // bits per pixel

  platform::OutputFile file;
  bool ok = file.Create(path) && file.Write(fileHeader, sizeof fileHeader) &&
            file.Write(info, sizeof info);
  if (ok) {
    const size_t padding = static_cast<size_t>(BmpStride(width)) - static_cast<size_t>(width) * 3;
    ChunkWriter out(file);
    for (int fileRow = 0; fileRow < height; ++fileRow) {
      const uint8_t* src = grey + static_cast<size_t>(height - 1 - fileRow) * width;
      for (int x = 0; x < width; ++x) {
        out.Put(src[x]);
        out.Put(src[x]);
        out.Put(src[x]);
      }
      for (size_t i = 0; i < padding; ++i) out.Put(0);
    }
    ok = out.Flush();
  }
  file.Close();
  if (!ok) {
    platform::ShowMessageBox(std::string(kBmpWriteErrorText) + path, kBmpWriteErrorCaption);
    return -1;
  }
  return 1;
}

int EnsureDirectory(const std::string& path) {
  try {
    if (!platform::DirectoryExists(path)) platform::CreateDirectory(path);
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace ocuvant::support
