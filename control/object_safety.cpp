#include "control/object_safety.h"

namespace ocuvant::control {

HRESULT ObjectSafety::GetInterfaceSafetyOptions(const Guid&, uint32_t* supportedOptions,
                                                uint32_t* enabledOptions) {
  if (supportedOptions == nullptr || enabledOptions == nullptr) return E_POINTER;
  constexpr uint32_t kSafe = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
  *supportedOptions = kSafe;
  *enabledOptions = kSafe;
  return S_OK;
}

HRESULT ObjectSafety::SetInterfaceSafetyOptions(const Guid&, uint32_t, uint32_t) {
  return S_OK;
}

}  // namespace ocuvant::control
