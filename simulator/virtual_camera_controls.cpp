#include "simulator/virtual_camera_controls.h"

namespace ocuvant::simulator {

using capture::CameraControlProperty;
using capture::kPropertyFlagAuto;
using capture::kPropertyFlagManual;
using capture::ProcAmpProperty;
using capture::PropertyRange;

namespace {

struct RangeRow {
  int32_t minimum, maximum, defaultValue;
  bool supported;
};

// Indexed by ProcAmpProperty.
constexpr RangeRow kProcAmpRanges[] = {
    {-64, 64, 0, true},        // Brightness
    {0, 100, 32, true},        // Contrast
    {-180, 180, 0, true},      // Hue
    {0, 100, 64, true},        // Saturation
    {0, 10, 3, true},          // Sharpness
    {1, 10, 3, true},          // Gamma
    {0, 0, 0, false},          // ColorEnable
    {2800, 6500, 4600, true},  // WhiteBalance
    {0, 1000, 0, true},        // BacklightCompensation
    {0, 100, 0, true},         // Gain
};

}  // namespace

VirtualCameraControls::VirtualCameraControls() {
  for (int i = 0; i < kProcAmpCount; ++i) {
    const RangeRow& r = kProcAmpRanges[i];
    procAmp_[i] = Slot{PropertyRange{r.minimum, r.maximum, 1, r.defaultValue, kPropertyFlagManual},
                       r.defaultValue, kPropertyFlagManual, r.supported, false};
  }
  exposure_ = Slot{PropertyRange{-13, -1, 1, -6, kPropertyFlagAuto | kPropertyFlagManual}, -6,
                   kPropertyFlagAuto, true, false};
}

bool VirtualCameraControls::GetRange(ProcAmpProperty property, PropertyRange* range) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int i = static_cast<int>(property);
  if (i < 0 || i >= kProcAmpCount || !procAmp_[i].supported || procAmp_[i].unreadable) {
    return false;
  }
  *range = procAmp_[i].range;
  return true;
}

bool VirtualCameraControls::Get(ProcAmpProperty property, int32_t* value, int32_t* flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int i = static_cast<int>(property);
  if (i < 0 || i >= kProcAmpCount || !procAmp_[i].supported) return false;
  *value = procAmp_[i].value;
  *flags = procAmp_[i].flags;
  return true;
}

bool VirtualCameraControls::Set(ProcAmpProperty property, int32_t value, int32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int i = static_cast<int>(property);
  writes_.push_back(Write{false, i, value, flags});
  if (i < 0 || i >= kProcAmpCount || !procAmp_[i].supported || refuseWrites_) return false;
  Slot& s = procAmp_[i];
  if (value < s.range.minimum || value > s.range.maximum) return false;
  s.value = value;
  s.flags = flags;
  return true;
}

bool VirtualCameraControls::GetRange(CameraControlProperty property, PropertyRange* range) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (property != CameraControlProperty::Exposure || exposure_.unreadable) return false;
  *range = exposure_.range;
  return true;
}

bool VirtualCameraControls::Get(CameraControlProperty property, int32_t* value, int32_t* flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (property != CameraControlProperty::Exposure) return false;
  *value = exposure_.value;
  *flags = exposure_.flags;
  return true;
}

// Like the cameras' drivers, a manual exposure outside the range is refused.
bool VirtualCameraControls::Set(CameraControlProperty property, int32_t value, int32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  writes_.push_back(Write{true, static_cast<int32_t>(property), value, flags});
  if (property != CameraControlProperty::Exposure || refuseWrites_ || refuseExposureWrites_) {
    return false;
  }
  if ((flags & kPropertyFlagAuto) == 0 &&
      (value < exposure_.range.minimum || value > exposure_.range.maximum)) {
    return false;
  }
  exposure_.value = value;
  exposure_.flags = flags;
  return true;
}

void VirtualCameraControls::SetUnreadable(ProcAmpProperty property, bool unreadable) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int i = static_cast<int>(property);
  if (i >= 0 && i < kProcAmpCount) procAmp_[i].unreadable = unreadable;
}

void VirtualCameraControls::SetExposureUnreadable(bool unreadable) {
  std::lock_guard<std::mutex> lock(mutex_);
  exposure_.unreadable = unreadable;
}

void VirtualCameraControls::SetRefuseWrites(bool refuse) {
  std::lock_guard<std::mutex> lock(mutex_);
  refuseWrites_ = refuse;
}

void VirtualCameraControls::SetRefuseExposureWrites(bool refuse) {
  std::lock_guard<std::mutex> lock(mutex_);
  refuseExposureWrites_ = refuse;
}

int32_t VirtualCameraControls::Value(ProcAmpProperty property) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const int i = static_cast<int>(property);
  return i >= 0 && i < kProcAmpCount ? procAmp_[i].value : 0;
}

int32_t VirtualCameraControls::ExposureValue() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exposure_.value;
}

int32_t VirtualCameraControls::ExposureFlags() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exposure_.flags;
}

std::vector<VirtualCameraControls::Write> VirtualCameraControls::Writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

void VirtualCameraControls::ClearWrites() {
  std::lock_guard<std::mutex> lock(mutex_);
  writes_.clear();
}

}  // namespace ocuvant::simulator
