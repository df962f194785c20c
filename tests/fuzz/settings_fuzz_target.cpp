// ParseSettings on any configuration text (the "Burger" property as a host sets it).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "session/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ocuvant::session;
  std::string burger(reinterpret_cast<const char*>(data), size);
  std::string cameraId;
  const std::string defaultId = "\\usb#vid_0c45&pid_6366";
  std::atomic<int32_t> log{0}, saveRaw{0}, bkCamera{1};
  std::atomic<bool> hid{true}, q5{false}, big{false}, small{false}, bk{false};
  SettingsStore store;
  const SettingsTarget target{burger, cameraId, defaultId, log, saveRaw,  hid,
                              q5,     big,      small,     bk,  bkCamera, store};
  const int32_t r = ParseSettings(target);
  // A usable configuration enables exactly one kind.
  if (r == 1 && !burger.empty() && int(q5) + int(big) + int(small) != 1) __builtin_trap();
  return 0;
}
