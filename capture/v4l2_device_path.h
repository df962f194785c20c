// Windows-style device interface paths for V4L2 cameras, built from the USB identity so
// that the fragments that select cameras on Windows ("usb#vid_0c45&pid_6366") select the
// same cameras here.
#pragma once

#include <string>

namespace ocuvant::capture {

// The video capture interface class of the Windows device paths.
inline constexpr char kVideoInterfaceClass[] = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";

struct UsbIdentity {
  std::string idVendor;         // hex text from sysfs, e.g. "0C45"
  std::string idProduct;        // hex text
  std::string interfaceNumber;  // bInterfaceNumber (hex text), empty when unknown
  std::string serial;           // may be empty
  std::string portPath;         // sysfs name of the USB device, e.g. "1-1.2"
};

// "\\?\usb#vid_0c45&pid_6366&mi_00#<serial or port path>#{65e8773d-...}\global", lower
// case. Empty when the vendor or product identifier is not a 16-bit hex number.
std::string BuildUsbDevicePath(const UsbIdentity& usb);

// Path of a capture device without a USB parent: "\\?\v4l#<name>#{...}\global".
std::string BuildOtherDevicePath(const std::string& sysName);

}  // namespace ocuvant::capture
