// Image settings of a V4L2 camera as the video processing amplifier and camera control
// of the capture layer.
//
// Exposure is expressed as on Windows, in log2 seconds (-6 = 1/64 s), and mapped to the
// V4L2 exposure time in 100 us units: units = round(2^value * 10000). Values from -14
// (61 us, written as 1 unit) to 10 can be written; others are refused without touching
// the device (the "leave unchanged" value -8888 among them). The range of the absolute
// exposure control is mapped back the same way (minimum rounded up, maximum down,
// default to the nearest). Automatic exposure is the aperture-priority mode of UVC
// cameras, or the fully automatic mode where that is what the camera offers.
#pragma once

#include <cstdint>

#include "capture/camera_controls.h"

namespace ocuvant::capture {

inline constexpr int32_t kExposureLog2Min = -14;
inline constexpr int32_t kExposureLog2Max = 10;

// log2 seconds -> 100 us units; false when outside the writable range.
bool ExposureLog2ToUnits(int32_t log2Seconds, int32_t* units);
int32_t ExposureUnitsToLog2(int32_t units);

class V4l2Controls final : public VideoProcAmp, public CameraControl {
 public:
  explicit V4l2Controls(int fd) : fd_(fd) {}

  bool GetRange(ProcAmpProperty property, PropertyRange* range) override;
  bool Get(ProcAmpProperty property, int32_t* value, int32_t* flags) override;
  bool Set(ProcAmpProperty property, int32_t value, int32_t flags) override;

  bool GetRange(CameraControlProperty property, PropertyRange* range) override;
  bool Get(CameraControlProperty property, int32_t* value, int32_t* flags) override;
  bool Set(CameraControlProperty property, int32_t value, int32_t flags) override;

 private:
  bool Query(uint32_t id, int32_t* minimum, int32_t* maximum, int32_t* step,
             int32_t* defaultValue) const;
  bool Read(uint32_t id, int32_t* value) const;
  bool Write(uint32_t id, int32_t value) const;

  int fd_;
};

}  // namespace ocuvant::capture
