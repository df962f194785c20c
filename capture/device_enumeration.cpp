// Camera list, search by device-path fragment and binding by list position.
#include <cstring>
#include <string_view>

#include "capture/capture_registry.h"
#include "capture/capture_video.h"

namespace ocuvant::capture {
namespace {

// Names and paths are read into 2048-byte buffers: longer ones are cut to 2047 bytes.
constexpr size_t kDeviceTextLimit = 2047;

std::string_view Cut(const std::string& text) {
  return std::string_view(text).substr(0, kDeviceTextLimit);
}

}  // namespace

int32_t CCaptureVideo::EnumDevices(std::string* text, bool friendlyNames) const {
  if (text == nullptr) return 0;
  text->clear();
  int32_t count = 0;
  for (const DeviceDescriptor& d : EnumerateCaptureDevices()) {
    const bool readable = friendlyNames ? d.hasFriendlyName : d.hasDevicePath;
    if (!readable) continue;
    ++count;
    text->append(Cut(friendlyNames ? d.friendlyName : d.devicePath));
    text->push_back(';');
  }
  if (!text->empty()) text->pop_back();
  return count;
}

int32_t CCaptureVideo::FindDeviceByPath(const char* fragment) const {
  if (fragment == nullptr || fragment[0] == '\0') return -1;
  const std::vector<DeviceDescriptor> devices = EnumerateCaptureDevices();
  if (devices.empty()) return -1;
  for (size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].hasDevicePath &&
        Cut(devices[i].devicePath).find(fragment) != std::string_view::npos) {
      return static_cast<int32_t>(i);
    }
  }
  return -2;
}

bool CCaptureVideo::BindDevice(int32_t deviceIndex) {
  std::lock_guard<std::mutex> lock(m_graphMutex);
  return BindDeviceLocked(deviceIndex);
}

// Only a device whose friendly name is readable can be bound; the session counts as
// bound afterwards even when nothing was (the open then fails on the missing source).
bool CCaptureVideo::BindDeviceLocked(int32_t deviceIndex) {
  if (deviceIndex < 0) return false;
  const std::vector<DeviceDescriptor> devices = EnumerateCaptureDevices();
  if (devices.empty()) return false;
  m_source.reset();
  const auto index = static_cast<size_t>(deviceIndex);
  if (index < devices.size() && devices[index].hasFriendlyName && devices[index].backend) {
    m_source = devices[index].backend->Bind(devices[index]);
  }
  m_deviceBound = true;
  return true;
}

}  // namespace ocuvant::capture
