// VARIANTs at the COM boundary and the control's Values: the coercions an OLE host
// expects (numbers and numeric strings to long, anything printable to BSTR; BSTR is
// UTF-16 outside, UTF-8 inside), and template databases as long* or SAFEARRAY.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/value.h"
// Windows headers after the control's (they define S_OK and DISP_E_* as macros).
#include <windows.h>
// (these need windows.h first)
#include <oleauto.h>

namespace ocuvant::ocx {

// Converts `in` to a Value of type `want`. A database (long*) comes as VT_BYREF|VT_I4
// (used in place), as a SAFEARRAY of VT_I4 or VT_VARIANT, or as a script array object
// (copied into `copy`, which must outlive the use), or empty/null/0 for no database.
// Returns S_OK or DISP_E_TYPEMISMATCH.
HRESULT ToValue(const VARIANT& in, control::ValueType want, control::Value* out,
                std::vector<int32_t>* copy);
// A result into a VARIANT (VT_I4, VT_BSTR or VT_EMPTY).
void FromValue(const control::Value& value, VARIANT* out);
// An event argument: long, BSTR, or long* as VT_BYREF|VT_I4.
void EventArgument(const control::Value& value, VARIANT* out);

BSTR ToBstr(const std::string& utf8);
std::string FromBstr(BSTR text);

}  // namespace ocuvant::ocx
