#include "ocx/variant_values.h"

#include "platform/utf16_win.h"

namespace ocuvant::ocx {

namespace {

using control::Value;
using control::ValueType;

// One array element (a VARIANT of any numeric kind) as a long.
bool ElementToInt(const VARIANT& v, int32_t* out) {
  VARIANT tmp;
  VariantInit(&tmp);
  if (FAILED(VariantChangeType(&tmp, const_cast<VARIANT*>(&v), 0, VT_I4))) return false;
  *out = tmp.lVal;
  return true;
}

bool CopySafeArray(SAFEARRAY* sa, VARTYPE type, std::vector<int32_t>* copy) {
  if (sa == nullptr || SafeArrayGetDim(sa) != 1) return false;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(sa, 1, &lower);
  SafeArrayGetUBound(sa, 1, &upper);
  const LONG n = upper - lower + 1;
  copy->assign(n > 0 ? static_cast<size_t>(n) : 0, 0);
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(sa, &data))) return false;
  bool ok = true;
  for (LONG i = 0; i < n && ok; ++i) {
    if (type == VT_I4) {
      (*copy)[i] = static_cast<const LONG*>(data)[i];
    } else {
      ok = ElementToInt(static_cast<const VARIANT*>(data)[i], &(*copy)[i]);
    }
  }
  SafeArrayUnaccessData(sa);
  return ok;
}

// A script array (JScript Array object): its "length" and its elements "0", "1", ...
bool CopyScriptArray(IDispatch* array, std::vector<int32_t>* copy) {
  if (array == nullptr) return false;
  DISPPARAMS none{};
  const auto get = [&](const std::wstring& name, VARIANT* out) {
    LPOLESTR n = const_cast<LPOLESTR>(name.c_str());
    DISPID id = 0;
    if (FAILED(array->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id))) return false;
    VariantInit(out);
    return SUCCEEDED(array->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                   out, nullptr, nullptr));
  };
  VARIANT length;
  int32_t n = 0;
  if (!get(L"length", &length)) return false;
  const bool haveLength = ElementToInt(length, &n);
  VariantClear(&length);
  if (!haveLength || n < 0) return false;
  copy->assign(static_cast<size_t>(n), 0);
  for (int32_t i = 0; i < n; ++i) {
    VARIANT element;
    if (!get(std::to_wstring(i), &element)) return false;
    const bool ok = ElementToInt(element, &(*copy)[i]);
    VariantClear(&element);
    if (!ok) return false;
  }
  return true;
}

HRESULT ToDatabase(const VARIANT& in, Value* out, std::vector<int32_t>* copy) {
  const VARTYPE vt = V_VT(&in);
  // A script variable passed by reference (VBScript): the variant it refers to.
  if (vt == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&in) != nullptr) {
    return ToDatabase(*V_VARIANTREF(&in), out, copy);
  }
  if (vt == (VT_BYREF | VT_I4)) {
    *out = static_cast<const int32_t*>(reinterpret_cast<const int32_t*>(V_I4REF(&in)));
    return S_OK;
  }
  if (vt == VT_EMPTY || vt == VT_NULL || vt == VT_ERROR) {
    *out = static_cast<const int32_t*>(nullptr);
    return S_OK;
  }
  bool ok = false;
  if ((vt & VT_ARRAY) != 0) {
    SAFEARRAY* sa = (vt & VT_BYREF) != 0 ? *V_ARRAYREF(&in) : V_ARRAY(&in);
    const VARTYPE element = vt & VT_TYPEMASK;
    ok = (element == VT_I4 || element == VT_VARIANT) && CopySafeArray(sa, element, copy);
  } else if (vt == VT_DISPATCH) {
    ok = CopyScriptArray(V_DISPATCH(&in), copy);
  } else {
    // A plain number: only 0 (a null pointer from a C host) is meaningful.
    int32_t n = -1;
    if (ElementToInt(in, &n) && n == 0) {
      *out = static_cast<const int32_t*>(nullptr);
      return S_OK;
    }
  }
  if (!ok) return DISP_E_TYPEMISMATCH;
  *out = static_cast<const int32_t*>(copy->empty() ? nullptr : copy->data());
  return S_OK;
}

}  // namespace

BSTR ToBstr(const std::string& utf8) {
  const std::wstring wide = platform::Utf8ToWide(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string FromBstr(BSTR text) {
  return text == nullptr ? std::string() : platform::WideToUtf8(text, SysStringLen(text));
}

HRESULT ToValue(const VARIANT& in, ValueType want, Value* out, std::vector<int32_t>* copy) {
  VARIANT tmp;
  VariantInit(&tmp);
  switch (want) {
    case ValueType::Int32:
      if (FAILED(VariantChangeType(&tmp, const_cast<VARIANT*>(&in), 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
      *out = static_cast<int32_t>(tmp.lVal);
      return S_OK;
    case ValueType::String: {
      if (FAILED(VariantChangeType(&tmp, const_cast<VARIANT*>(&in), 0, VT_BSTR)))
        return DISP_E_TYPEMISMATCH;
      *out = FromBstr(tmp.bstrVal);
      VariantClear(&tmp);
      return S_OK;
    }
    case ValueType::Int32Ptr:
      return ToDatabase(in, out, copy);
    case ValueType::Void:
      break;
  }
  return DISP_E_TYPEMISMATCH;
}

void FromValue(const Value& value, VARIANT* out) {
  if (out == nullptr) return;
  VariantInit(out);
  if (const auto* i = std::get_if<int32_t>(&value)) {
    V_VT(out) = VT_I4;
    V_I4(out) = *i;
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = ToBstr(*s);
  }
}

void EventArgument(const Value& value, VARIANT* out) {
  if (const auto* p = std::get_if<const int32_t*>(&value)) {
    VariantInit(out);
    V_VT(out) = VT_BYREF | VT_I4;
    V_I4REF(out) = reinterpret_cast<LONG*>(const_cast<int32_t*>(*p));
    return;
  }
  FromValue(value, out);
}

}  // namespace ocuvant::ocx
