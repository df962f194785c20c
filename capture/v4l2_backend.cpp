#include "capture/v4l2_backend.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/videodev2.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "capture/v4l2_device_path.h"
#include "capture/v4l2_io.h"
#include "capture/v4l2_modes.h"
#include "capture/v4l2_source.h"

namespace ocuvant::capture {
namespace {

struct Node {
  long number = 0;
  DeviceDescriptor descriptor;
};

std::string Attribute(udev_device* d, const char* name) {
  const char* v = d != nullptr ? udev_device_get_sysattr_value(d, name) : nullptr;
  std::string s = v != nullptr ? v : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Whether the node captures video, and its card name. A node that cannot be opened is
// judged by udev's capability property or, lacking that, by its index (0 = main node).
bool IsCaptureNode(udev_device* d, const char* node, std::string* card) {
  const int fd = ::open(node, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    v4l2_capability cap;
    std::memset(&cap, 0, sizeof cap);
    const bool ok = V4l2Ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
    ::close(fd);
    if (ok) {
      const uint32_t caps =
          (cap.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? cap.device_caps : cap.capabilities;
      card->assign(reinterpret_cast<const char*>(cap.card),
                   strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
      return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0 && (caps & V4L2_CAP_STREAMING) != 0;
    }
  }
  const char* property = udev_device_get_property_value(d, "ID_V4L_CAPABILITIES");
  if (property != nullptr) return std::strstr(property, ":capture:") != nullptr;
  const std::string index = Attribute(d, "index");
  return index.empty() || index == "0";
}

bool DescribeNode(udev_device* d, Node* out) {
  const char* sysname = udev_device_get_sysname(d);
  if (sysname == nullptr || std::strncmp(sysname, "video", 5) != 0) return false;
  char* end = nullptr;
  out->number = std::strtol(sysname + 5, &end, 10);
  const char* devnode = udev_device_get_devnode(d);
  const std::string node = devnode != nullptr ? devnode : std::string("/dev/") + sysname;

  std::string card;
  if (!IsCaptureNode(d, node.c_str(), &card)) return false;
  DeviceDescriptor& desc = out->descriptor;
  desc.locator = node;
  const std::string name = Attribute(d, "name");
  desc.friendlyName = !name.empty() ? name : card;
  desc.hasFriendlyName = !desc.friendlyName.empty();

  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_device");
  if (usb != nullptr) {
    udev_device* iface = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_interface");
    UsbIdentity id;
    id.idVendor = Attribute(usb, "idVendor");
    id.idProduct = Attribute(usb, "idProduct");
    id.serial = Attribute(usb, "serial");
    const char* port = udev_device_get_sysname(usb);
    id.portPath = port != nullptr ? port : "";
    id.interfaceNumber = Attribute(iface, "bInterfaceNumber");
    desc.devicePath = BuildUsbDevicePath(id);
  } else {
    desc.devicePath = BuildOtherDevicePath(sysname);
  }
  desc.hasDevicePath = !desc.devicePath.empty();
  return true;
}

}  // namespace

void V4l2Backend::Enumerate(const std::shared_ptr<CaptureBackend>& self,
                            std::vector<DeviceDescriptor>* out) {
  udev* u = udev_new();
  if (u == nullptr) return;
  udev_enumerate* e = udev_enumerate_new(u);
  std::vector<Node> nodes;
  if (e != nullptr && udev_enumerate_add_match_subsystem(e, "video4linux") >= 0 &&
      udev_enumerate_scan_devices(e) >= 0) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
      udev_device* d = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
      if (d == nullptr) continue;
      Node n;
      if (DescribeNode(d, &n)) {
        n.descriptor.backend = self;
        nodes.push_back(std::move(n));
      }
      udev_device_unref(d);
    }
  }
  if (e != nullptr) udev_enumerate_unref(e);
  udev_unref(u);
  std::stable_sort(nodes.begin(), nodes.end(),
                   [](const Node& a, const Node& b) { return a.number < b.number; });
  for (Node& n : nodes) out->push_back(std::move(n.descriptor));
}

std::unique_ptr<CaptureSource> V4l2Backend::Bind(const DeviceDescriptor& device) {
  return V4l2Source::OpenNode(device.locator);
}

}  // namespace ocuvant::capture

namespace ocuvant::capture {

std::vector<std::string> V4l2Backend::DescribeModes(const DeviceDescriptor& device) {
  std::vector<std::string> out;
  const int fd = ::open(device.locator.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    out.push_back(std::string("cannot be opened: ") + std::strerror(errno));
    return out;
  }
  const std::vector<V4l2Mode> modes = EnumerateV4l2Modes(fd);
  ::close(fd);
  const int chosen = ChooseV4l2Mode(modes, 1920, 1080);
  for (size_t i = 0; i < modes.size(); ++i) {
    std::string text = ModeText(modes[i]);
    if (!ConvertibleFormat(modes[i].pixelFormat)) text += " (not convertible)";
    if (static_cast<int>(i) == chosen) text += " *";
    out.push_back(text);
  }
  return out;
}

}  // namespace ocuvant::capture
