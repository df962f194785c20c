// Image settings of a virtual camera: the ranges of a typical UVC camera, values kept
// across sessions like a real device's, and a record of every write for tests.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "capture/camera_controls.h"

namespace ocuvant::simulator {

class VirtualCameraControls final : public capture::VideoProcAmp, public capture::CameraControl {
 public:
  struct Write {
    bool exposure;  // false: a video processing amplifier property
    int32_t property;
    int32_t value;
    int32_t flags;
  };

  VirtualCameraControls();

  bool GetRange(capture::ProcAmpProperty property, capture::PropertyRange* range) override;
  bool Get(capture::ProcAmpProperty property, int32_t* value, int32_t* flags) override;
  bool Set(capture::ProcAmpProperty property, int32_t value, int32_t flags) override;
  bool GetRange(capture::CameraControlProperty property, capture::PropertyRange* range) override;
  bool Get(capture::CameraControlProperty property, int32_t* value, int32_t* flags) override;
  bool Set(capture::CameraControlProperty property, int32_t value, int32_t flags) override;

  // Test switches: a property whose range cannot be read; a device that refuses writes
  // (all writes, or exposure writes only).
  void SetUnreadable(capture::ProcAmpProperty property, bool unreadable);
  void SetExposureUnreadable(bool unreadable);
  void SetRefuseWrites(bool refuse);
  void SetRefuseExposureWrites(bool refuse);

  int32_t Value(capture::ProcAmpProperty property) const;
  int32_t ExposureValue() const;
  int32_t ExposureFlags() const;
  std::vector<Write> Writes() const;
  void ClearWrites();

 private:
  static constexpr int kProcAmpCount = 10;
  struct Slot {
    capture::PropertyRange range;
    int32_t value;
    int32_t flags;
    bool supported;
    bool unreadable;
  };
  mutable std::mutex mutex_;
  Slot procAmp_[kProcAmpCount];
  Slot exposure_;
  bool refuseWrites_ = false;
  bool refuseExposureWrites_ = false;
  std::vector<Write> writes_;
};

}  // namespace ocuvant::simulator
