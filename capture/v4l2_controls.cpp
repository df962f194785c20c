#include "capture/v4l2_controls.h"

#include <linux/videodev2.h>

#include <cmath>
#include <cstring>

#include "capture/v4l2_io.h"

namespace ocuvant::capture {
namespace {

struct ProcAmpControl {
  uint32_t id;      // 0: the camera has no such control
  uint32_t autoId;  // the automatic mode that a manual write switches off; 0: none
};

ProcAmpControl ControlOf(ProcAmpProperty property) {
  switch (property) {
    case ProcAmpProperty::Brightness:
      return {V4L2_CID_BRIGHTNESS, 0};
    case ProcAmpProperty::Contrast:
      return {V4L2_CID_CONTRAST, 0};
    case ProcAmpProperty::Hue:
      return {V4L2_CID_HUE, V4L2_CID_HUE_AUTO};
    case ProcAmpProperty::Saturation:
      return {V4L2_CID_SATURATION, 0};
    case ProcAmpProperty::Sharpness:
      return {V4L2_CID_SHARPNESS, 0};
    case ProcAmpProperty::Gamma:
      return {V4L2_CID_GAMMA, 0};
    case ProcAmpProperty::WhiteBalance:
      return {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE};
    case ProcAmpProperty::BacklightCompensation:
      return {V4L2_CID_BACKLIGHT_COMPENSATION, 0};
    case ProcAmpProperty::Gain:
      return {V4L2_CID_GAIN, V4L2_CID_AUTOGAIN};
    case ProcAmpProperty::ColorEnable:
      break;
  }
  return {0, 0};
}

}  // namespace

bool ExposureLog2ToUnits(int32_t log2Seconds, int32_t* units) {
  if (log2Seconds < kExposureLog2Min || log2Seconds > kExposureLog2Max) return false;
  const long v = std::lround(std::ldexp(10000.0, log2Seconds));
  *units = static_cast<int32_t>(v < 1 ? 1 : v);
  return true;
}

int32_t ExposureUnitsToLog2(int32_t units) {
  return static_cast<int32_t>(std::lround(std::log2((units < 1 ? 1 : units) / 10000.0)));
}

bool V4l2Controls::Query(uint32_t id, int32_t* minimum, int32_t* maximum, int32_t* step,
                         int32_t* defaultValue) const {
  if (id == 0) return false;
  v4l2_queryctrl q;
  std::memset(&q, 0, sizeof q);
  q.id = id;
  if (V4l2Ioctl(fd_, VIDIOC_QUERYCTRL, &q) != 0) return false;
  if ((q.flags & V4L2_CTRL_FLAG_DISABLED) != 0) return false;
  *minimum = q.minimum;
  *maximum = q.maximum;
  *step = q.step;
  *defaultValue = q.default_value;
  return true;
}

bool V4l2Controls::Read(uint32_t id, int32_t* value) const {
  v4l2_control c{id, 0};
  if (V4l2Ioctl(fd_, VIDIOC_G_CTRL, &c) != 0) return false;
  *value = c.value;
  return true;
}

bool V4l2Controls::Write(uint32_t id, int32_t value) const {
  v4l2_control c{id, value};
  return V4l2Ioctl(fd_, VIDIOC_S_CTRL, &c) == 0;
}

bool V4l2Controls::GetRange(ProcAmpProperty property, PropertyRange* range) {
  const ProcAmpControl c = ControlOf(property);
  int32_t unused[4];
  if (!Query(c.id, &range->minimum, &range->maximum, &range->step, &range->defaultValue)) {
    return false;
  }
  range->capsFlags = kPropertyFlagManual;
  if (Query(c.autoId, &unused[0], &unused[1], &unused[2], &unused[3])) {
    range->capsFlags |= kPropertyFlagAuto;
  }
  return true;
}

bool V4l2Controls::Get(ProcAmpProperty property, int32_t* value, int32_t* flags) {
  const ProcAmpControl c = ControlOf(property);
  if (c.id == 0 || !Read(c.id, value)) return false;
  int32_t automatic = 0;
  *flags = (c.autoId != 0 && Read(c.autoId, &automatic) && automatic != 0) ? kPropertyFlagAuto
                                                                           : kPropertyFlagManual;
  return true;
}

bool V4l2Controls::Set(ProcAmpProperty property, int32_t value, int32_t flags) {
  const ProcAmpControl c = ControlOf(property);
  if (c.id == 0) return false;
  if ((flags & kPropertyFlagAuto) != 0) return c.autoId != 0 && Write(c.autoId, 1);
  int32_t automatic = 0;
  if (c.autoId != 0 && Read(c.autoId, &automatic) && automatic != 0) Write(c.autoId, 0);
  return Write(c.id, value);
}

bool V4l2Controls::GetRange(CameraControlProperty property, PropertyRange* range) {
  if (property != CameraControlProperty::Exposure) return false;
  int32_t minimum, maximum, step, defaultValue;
  if (!Query(V4L2_CID_EXPOSURE_ABSOLUTE, &minimum, &maximum, &step, &defaultValue)) {
    return false;
  }
  range->minimum = static_cast<int32_t>(std::ceil(std::log2((minimum < 1 ? 1 : minimum) / 1e4)));
  range->maximum = static_cast<int32_t>(std::floor(std::log2((maximum < 1 ? 1 : maximum) / 1e4)));
  range->step = 1;
  range->defaultValue = ExposureUnitsToLog2(defaultValue);
  range->capsFlags = kPropertyFlagManual;
  int32_t unused[4];
  if (Query(V4L2_CID_EXPOSURE_AUTO, &unused[0], &unused[1], &unused[2], &unused[3])) {
    range->capsFlags |= kPropertyFlagAuto;
  }
  return true;
}

bool V4l2Controls::Get(CameraControlProperty property, int32_t* value, int32_t* flags) {
  if (property != CameraControlProperty::Exposure) return false;
  int32_t units = 0, mode = V4L2_EXPOSURE_MANUAL;
  if (!Read(V4L2_CID_EXPOSURE_ABSOLUTE, &units)) return false;
  *value = ExposureUnitsToLog2(units);
  *flags = (Read(V4L2_CID_EXPOSURE_AUTO, &mode) && mode != V4L2_EXPOSURE_MANUAL &&
            mode != V4L2_EXPOSURE_SHUTTER_PRIORITY)
               ? kPropertyFlagAuto
               : kPropertyFlagManual;
  return true;
}

bool V4l2Controls::Set(CameraControlProperty property, int32_t value, int32_t flags) {
  if (property != CameraControlProperty::Exposure) return false;
  if ((flags & kPropertyFlagAuto) != 0) {
    return Write(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY) ||
           Write(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO);
  }
  int32_t units = 0;
  if (!ExposureLog2ToUnits(value, &units)) return false;
  int32_t mode = 0;
  if (Read(V4L2_CID_EXPOSURE_AUTO, &mode) && mode != V4L2_EXPOSURE_MANUAL &&
      !Write(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL)) {
    return false;
  }
  return Write(V4L2_CID_EXPOSURE_ABSOLUTE, units);
}

}  // namespace ocuvant::capture
