// Image settings of a capture device, shaped after the video processing amplifier and
// camera control interfaces of the cameras' Windows drivers: properties with a range,
// a current value and a manual/automatic flag.
#pragma once

#include <cstdint>

namespace ocuvant::capture {

enum class ProcAmpProperty : int32_t {
  Brightness = 0,
  Contrast = 1,
  Hue = 2,
  Saturation = 3,
  Sharpness = 4,
  Gamma = 5,
  ColorEnable = 6,
  WhiteBalance = 7,
  BacklightCompensation = 8,
  Gain = 9,
};

enum class CameraControlProperty : int32_t {
  Pan = 0,
  Tilt = 1,
  Roll = 2,
  Zoom = 3,
  Exposure = 4,  // log2 of the exposure time in seconds (-6 = 1/64 s)
  Iris = 5,
  Focus = 6,
};

inline constexpr int32_t kPropertyFlagAuto = 1;
inline constexpr int32_t kPropertyFlagManual = 2;

// A setting value that leaves the device's value unchanged.
inline constexpr int32_t NoChange = -8888;

struct PropertyRange {
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t step = 0;
  int32_t defaultValue = 0;
  int32_t capsFlags = 0;
};

class VideoProcAmp {
 public:
  virtual ~VideoProcAmp() = default;
  virtual bool GetRange(ProcAmpProperty property, PropertyRange* range) = 0;
  virtual bool Get(ProcAmpProperty property, int32_t* value, int32_t* flags) = 0;
  virtual bool Set(ProcAmpProperty property, int32_t value, int32_t flags) = 0;
};

class CameraControl {
 public:
  virtual ~CameraControl() = default;
  virtual bool GetRange(CameraControlProperty property, PropertyRange* range) = 0;
  virtual bool Get(CameraControlProperty property, int32_t* value, int32_t* flags) = 0;
  virtual bool Set(CameraControlProperty property, int32_t value, int32_t flags) = 0;
};

}  // namespace ocuvant::capture
