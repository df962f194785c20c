// IObjectSafety: the control declares itself safe for untrusted callers and data.
#pragma once

#include <cstdint>

namespace ocuvant::control {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

inline constexpr uint32_t INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
inline constexpr uint32_t INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;

class IObjectSafety {
 public:
  virtual HRESULT GetInterfaceSafetyOptions(const Guid& riid, uint32_t* supportedOptions,
                                            uint32_t* enabledOptions) = 0;
  virtual HRESULT SetInterfaceSafetyOptions(const Guid& riid, uint32_t optionSetMask,
                                            uint32_t enabledOptions) = 0;

 protected:
  ~IObjectSafety() = default;
};

// The control's embedded implementation: the same answer for every interface.
class ObjectSafety final : public IObjectSafety {
 public:
  HRESULT GetInterfaceSafetyOptions(const Guid& riid, uint32_t* supportedOptions,
                                    uint32_t* enabledOptions) override;
  HRESULT SetInterfaceSafetyOptions(const Guid& riid, uint32_t optionSetMask,
                                    uint32_t enabledOptions) override;
};

}  // namespace ocuvant::control
