// Converts frames of a negotiated V4L2 format into bottom-up BGR24: JPEG and MJPEG
// through TurboJPEG, every other format through libv4lconvert (fed with its rows in
// reverse order and without row padding, so its top-down output comes out bottom-up).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct v4lconvert_data;

namespace ocuvant::capture {

class V4l2FrameConverter {
 public:
  enum class Outcome { Converted, ConvertedWithWarning, Failed };

  V4l2FrameConverter() = default;
  ~V4l2FrameConverter();
  V4l2FrameConverter(const V4l2FrameConverter&) = delete;
  V4l2FrameConverter& operator=(const V4l2FrameConverter&) = delete;

  // Prepares for frames of `pixelFormat`, width x height, rows `bytesPerLine` apart
  // (0: unpadded). `fd` is the device (libv4lconvert asks it what it is; -1 for none).
  // False with
  // `error` set when the format or its layout cannot be converted.
  bool Setup(int fd, uint32_t pixelFormat, uint32_t width, uint32_t height, uint32_t bytesPerLine,
             std::string* error);

  // Converts one frame of `used` bytes into `bgr` (height rows of `bgrStride` bytes,
  // bottom-up). Failed leaves `bgr` unspecified; `warning` then or with
  // ConvertedWithWarning names the decoder's complaint.
  Outcome Convert(const uint8_t* data, size_t used, uint8_t* bgr, size_t bgrStride,
                  std::string* warning);

  // Bytes a complete frame needs.
  size_t FrameBytes() const { return frameBytes_; }

 private:
  struct Plane {
    size_t offset;    // in the device's frame
    size_t stride;    // device row distance
    size_t rowBytes;  // bytes of one row without padding
    uint32_t rows;
  };

  uint32_t pixelFormat_ = 0;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  std::vector<Plane> planes_;
  size_t frameBytes_ = 0;
  void* jpeg_ = nullptr;                // TurboJPEG decompressor
  v4lconvert_data* convert_ = nullptr;  // libv4lconvert state
  std::vector<uint8_t> staging_;        // the source, rows reversed and unpadded
  std::vector<uint8_t> topDown_;        // libv4lconvert output when rows need padding
};

}  // namespace ocuvant::capture
