// Self-registration: the type library from the module's resource, then the control
// and property page classes with their ProgIDs.
#pragma once

#include <windows.h>

namespace ocuvant::ocx {

inline constexpr HRESULT kTypeLibraryNotRegistered = static_cast<HRESULT>(0x80040200u);
inline constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040201u);
inline constexpr DWORD kControlMiscStatus = 0x30191;

HRESULT RegisterModule();
HRESULT UnregisterModule();

}  // namespace ocuvant::ocx
