// The virtual illuminator's fill light, shared inside one process between the control
// module (which drives the virtual illuminator) and the virtual camera filter (whose
// iris scene brightens while the light is on). The control publishes a function in a
// named section of its process; the filter reads it when a stream starts.
#pragma once

#include <windows.h>

#include <string>

namespace ocuvant::simulator::dshow {

using FillLightFunction = int (*)();

inline std::wstring IlluminatorLinkName() {
  return L"Local\\OcuvantVirtualIlluminator." + std::to_wstring(GetCurrentProcessId());
}

// Publishes `fillLightOn` for the life of the process (the section is never closed).
inline bool PublishFillLight(FillLightFunction fillLightOn) {
  static HANDLE section =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                         sizeof(FillLightFunction), IlluminatorLinkName().c_str());
  if (section == nullptr) return false;
  void* view = MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(FillLightFunction));
  if (view == nullptr) return false;
  *static_cast<FillLightFunction*>(view) = fillLightOn;
  UnmapViewOfFile(view);
  return true;
}

// The published function, or nullptr when no virtual illuminator is driven here.
inline FillLightFunction PublishedFillLight() {
  HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, IlluminatorLinkName().c_str());
  if (section == nullptr) return nullptr;
  FillLightFunction f = nullptr;
  if (void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof(FillLightFunction))) {
    f = *static_cast<FillLightFunction*>(view);
    UnmapViewOfFile(view);
  }
  CloseHandle(section);
  return f;
}

}  // namespace ocuvant::simulator::dshow
