// Image writers for the control's dumps: raw bytes, 8-bit grey images as 24-bit BMP,
// and the one-level directory routine. Names are Windows-style and pass through
// platform::MapPath, so a doubled separator is harmless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ocuvant::support {

// Message-box texts and caption shown when a file cannot be written.
inline constexpr const char* kRawWriteErrorText = "open file error(write).";
inline constexpr const char* kBmpWriteErrorText = "无法保存指定的文件,";
inline constexpr const char* kBmpWriteErrorCaption = "Lumexa(TM)控件";

// BMP layout: 14-byte file header, 40-byte information header, then the pixels.
inline constexpr uint32_t kBmpFileHeaderBytes = 14;
inline constexpr uint32_t kBmpInfoHeaderBytes = 40;
inline constexpr uint32_t kBmpPixelOffset = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;

// Creates or truncates `path` and writes exactly `size` bytes. When the file cannot
// be created or written, shows "open file error(write)." and returns false; callers
// may ignore the result (the workflow goes on).
bool WriteRawFile(const void* bytes, size_t size, const std::string& path);

// Writes a top-down 8-bit grey image (stride == width) as a bottom-up 24-bit BMP,
// each grey value repeated three times. Rows are padded to a multiple of 4 bytes
// (no padding for any width divisible by 4). Returns 1, or -1 after the message box
// "无法保存指定的文件,<path>" when the file cannot be created or written; -1 without a
// message for an empty or oversized image.
int WriteGreyBmp(const uint8_t* grey, int width, int height, const std::string& path);

// Size of the BMP file WriteGreyBmp writes for that geometry (0 when it would refuse).
uint64_t GreyBmpFileSize(int width, int height);

// 1 when `path` exists or after trying to create it (one level; the creation's own
// result is not checked: a later write reports the failure); 0 only when the attempt
// itself failed unexpectedly.
int EnsureDirectory(const std::string& path);

}  // namespace ocuvant::support
