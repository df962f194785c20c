#include "capture/v4l2_device_path.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace ocuvant::capture {
namespace {

bool ParseHex(const std::string& text, unsigned maxValue, unsigned* out) {
  if (text.empty() || text.size() > 8) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  const unsigned long v = std::strtoul(text.c_str(), nullptr, 16);
  if (v > maxValue) return false;
  *out = static_cast<unsigned>(v);
  return true;
}

// An instance segment of the path: lower case, and no character that separates path
// segments ('#', '\\') or is not printable.
std::string InstanceText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '#' || c == '\\' || c == '/' || c <= ' ' || c >= 0x7f) {
      out.push_back('_');
    } else {
      out.push_back(static_cast<char>(std::tolower(c)));
    }
  }
  return out;
}

}  // namespace

std::string BuildUsbDevicePath(const UsbIdentity& usb) {
  unsigned vid = 0, pid = 0, mi = 0;
  if (!ParseHex(usb.idVendor, 0xffff, &vid) || !ParseHex(usb.idProduct, 0xffff, &pid)) {
    return {};
  }
  char head[40];
  std::snprintf(head, sizeof head, "\\\\?\\usb#vid_%04x&pid_%04x", vid, pid);
  std::string path = head;
  if (ParseHex(usb.interfaceNumber, 0xff, &mi)) {
    char interfacePart[8];
    std::snprintf(interfacePart, sizeof interfacePart, "&mi_%02x", mi);
    path += interfacePart;
  }
  path += '#';
  path += InstanceText(usb.serial.empty() ? usb.portPath : usb.serial);
  path += '#';
  path += kVideoInterfaceClass;
  path += "\\global";
  return path;
}

std::string BuildOtherDevicePath(const std::string& sysName) {
  return std::string("\\\\?\\v4l#") + InstanceText(sysName) + "#" + kVideoInterfaceClass +
         "\\global";
}

}  // namespace ocuvant::capture
