// Generic dispatch: a member by DISPID or name, with arguments as Values. A wrong
// name, kind, argument count or argument type gives an error result; nothing is
// called then.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "control/object_safety.h"
#include "control/value.h"

namespace ocuvant::control {

class COcuvantCtrl;

inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);

enum class InvokeKind { Method, PropertyGet, PropertyPut };

struct InvokeResult {
  HRESULT hr = S_OK;
  Value value;        // the method's result or the property's value; void otherwise
  std::string error;  // why the call was refused (hr != S_OK)
  bool ok() const { return hr == S_OK; }
};

InvokeResult Invoke(COcuvantCtrl& control, int32_t dispid, InvokeKind kind,
                    const std::vector<Value>& args);
InvokeResult Invoke(COcuvantCtrl& control, std::string_view name, InvokeKind kind,
                    const std::vector<Value>& args);

}  // namespace ocuvant::control
