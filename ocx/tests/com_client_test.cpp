// A COM client of the registered control, as a compiled host uses it: creation by
// ProgID, every member through GetIDsOfNames + Invoke (results compared with the same
// call on an in-process COcuvantCtrl), the DISP_E_* refusals and coercions, the type
// library against the dispatch table, IObjectSafety and IProvideClassInfo2, and (with
// the simulator) a both-eye enrollment and a match with two sinks receiving the events
// on this thread, (on the DirectShow virtual iris camera) a camera unplugged while
// streaming, (on the virtual visible-light camera) a portrait photo and a background
// photo of an enrollment, and (on the virtual infrared camera) a face enrollment.
// Usage: com_client_test dispatch|workflow|lost|photos [DIR]|face [enrolled|refused]|typelib MODULE
#include "control/dispatch_table.h"
#include "control/invoke.h"
#include "control/ocuvant_ctrl.h"
// Windows headers after the control's (they define S_OK and DISP_E_* as macros).
#include <windows.h>
// (these need windows.h first)
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ocuvant_h.h"
#include "platform/utf16_win.h"

namespace {

using ocuvant::control::DispatchEntry;
using ocuvant::control::MemberKind;
using ocuvant::control::Value;
using ocuvant::control::ValueType;

int g_failures = 0;
int g_checks = 0;

void Check(bool ok, const std::string& what) {
  ++g_checks;
  if (!ok) {
    ++g_failures;
    std::printf("FAIL: %s\n", what.c_str());
    std::fflush(stdout);
  }
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
  return text;
}

std::wstring Wide(const std::string& s) {
  return ocuvant::platform::Utf8ToWide(s);
}

// Pumps this thread's messages until `done` or `ms` elapse.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

struct Call {
  HRESULT hr = S_OK;
  VARIANT result{};
  UINT argError = ~0u;
};

// Invokes with arguments given left to right.
Call InvokeDisp(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args) {
  Call c;
  VariantInit(&c.result);
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS p{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    p.rgdispidNamedArgs = &put;
    p.cNamedArgs = 1;
  }
  c.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &p, &c.result, nullptr, &c.argError);
  return c;
}

VARIANT Long(LONG v) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_I4;
  V_I4(&x) = v;
  return x;
}

VARIANT Str(const std::string& s) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_BSTR;
  const std::wstring w = Wide(s);
  V_BSTR(&x) = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  return x;
}

VARIANT Empty() {
  VARIANT x;
  VariantInit(&x);
  return x;
}

std::string FromVariantString(const VARIANT& v) {
  if (V_VT(&v) != VT_BSTR || V_BSTR(&v) == nullptr) return "";
  return ocuvant::platform::WideToUtf8(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
}

// The value a dispatch result stands for, for comparison with the in-process control.
Value ToValue(const VARIANT& v) {
  if (V_VT(&v) == VT_I4) return Value(static_cast<int32_t>(V_I4(&v)));
  if (V_VT(&v) == VT_BSTR) return Value(FromVariantString(v));
  return Value();
}

std::string Show(const Value& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) return std::to_string(*i);
  if (const auto* s = std::get_if<std::string>(&v)) return "\"" + *s + "\"";
  return "void";
}

ValueType FromTypeDesc(const TYPEDESC& t) {
  if (t.vt == VT_I4) return ValueType::Int32;
  if (t.vt == VT_BSTR) return ValueType::String;
  if (t.vt == VT_PTR && t.lptdesc != nullptr && t.lptdesc->vt == VT_I4) return ValueType::Int32Ptr;
  if (t.vt == VT_VOID || t.vt == VT_EMPTY) return ValueType::Void;
  return static_cast<ValueType>(0xff);
}

std::string Name(ITypeInfo* info, MEMBERID id, std::vector<std::string>* params) {
  BSTR names[16] = {};
  UINT n = 0;
  info->GetNames(id, names, 16, &n);
  std::string first;
  for (UINT i = 0; i < n; ++i) {
    const std::string s = ocuvant::platform::WideToUtf8(names[i], SysStringLen(names[i]));
    if (i == 0) {
      first = s;
    } else if (params != nullptr) {
      params->push_back(s);
    }
    SysFreeString(names[i]);
  }
  return first;
}

// Every member of a dispinterface in the type library is in the table with the same
// DISPID, name, kind, types and argument names, and the table has no member more.
void CheckTypeInfoAgainstTable(ITypeInfo* info, bool events) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) {
    Check(false, "GetTypeAttr");
    return;
  }
  size_t seen = 0;
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* var = nullptr;
    info->GetVarDesc(i, &var);
    const std::string name = Name(info, var->memid, nullptr);
    const DispatchEntry* e = ocuvant::control::FindMember(name);
    Check(e != nullptr && e->kind == MemberKind::Property && e->dispid == var->memid &&
              e->type == FromTypeDesc(var->elemdescVar.tdesc),
          "typelib property " + name + " agrees with the table");
    ++seen;
    info->ReleaseVarDesc(var);
  }
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    info->GetFuncDesc(i, &f);
    std::vector<std::string> params;
    const std::string name = Name(info, f->memid, &params);
    const DispatchEntry* e =
        events ? ocuvant::control::FindEvent(name) : ocuvant::control::FindMember(name);
    bool ok = e != nullptr && e->dispid == f->memid && e->argCount == f->cParams &&
              e->type == FromTypeDesc(f->elemdescFunc.tdesc) &&
              e->kind == (events ? MemberKind::Event : MemberKind::Method);
    std::string tableNames = e != nullptr ? e->argNames : "";
    std::string libNames;
    for (SHORT p = 0; ok && p < f->cParams; ++p) {
      ok = FromTypeDesc(f->lprgelemdescParam[p].tdesc) == e->args[p];
      libNames += (p == 0 ? "" : ",") + (size_t(p) < params.size() ? params[p] : "");
    }
    Check(ok && libNames == tableNames, "typelib member " + name + " agrees with the table");
    ++seen;
    info->ReleaseFuncDesc(f);
  }
  size_t expected = 0;
  for (const DispatchEntry& e : ocuvant::control::DispatchTable()) {
    if ((e.kind == MemberKind::Event) == events) ++expected;
  }
  Check(seen == expected, std::string(events ? "events" : "members") + ": typelib has " +
                              std::to_string(seen) + ", table " + std::to_string(expected));
  info->ReleaseTypeAttr(attr);
}

// The arguments each member is called with here, and the same as Values.
void ArgumentsFor(const DispatchEntry& e, std::vector<VARIANT>* vs, std::vector<Value>* values) {
  static const int32_t kNoDatabase[128] = {};
  for (uint8_t i = 0; i < e.argCount; ++i) {
    switch (e.args[i]) {
      case ValueType::Int32:
        vs->push_back(Long(i == 0 ? 1 : 0));
        values->push_back(Value(i == 0 ? 1 : 0));
        break;
      case ValueType::String:
        vs->push_back(Str("{}"));
        values->push_back(Value(std::string("{}")));
        break;
      case ValueType::Int32Ptr: {
        VARIANT p;
        VariantInit(&p);
        V_VT(&p) = VT_BYREF | VT_I4;
        V_I4REF(&p) = reinterpret_cast<LONG*>(const_cast<int32_t*>(kNoDatabase));
        vs->push_back(p);
        values->push_back(Value(kNoDatabase));
        break;
      }
      case ValueType::Void:
        break;
    }
  }
}

// Members that start camera sessions or show a window are left to the workflow run.
bool CalledHere(const DispatchEntry& e) {
  static const char* const kSkipped[] = {"AboutBox",        "EnrollBothIris",     "EnrollLeftIris",
                                         "EnrollRightIris", "EnrollInfraredFace", "MatchIris"};
  for (const char* s : kSkipped) {
    if (std::strcmp(s, e.name) == 0) return false;
  }
  return e.kind != MemberKind::Event;
}

void DispatchChecks(IDispatch* d) {
  // Type library against the table: the dispatch interface and, through the class
  // information, the event interface.
  ITypeInfo* info = nullptr;
  Check(SUCCEEDED(d->GetTypeInfo(0, 0, &info)) && info != nullptr, "GetTypeInfo");
  if (info != nullptr) {
    CheckTypeInfoAgainstTable(info, false);
    info->Release();
  }
  IProvideClassInfo2* ci = nullptr;
  Check(SUCCEEDED(d->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&ci))),
        "IProvideClassInfo2");
  if (ci != nullptr) {
    GUID source{};
    Check(ci->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source) == S_OK &&
              IsEqualGUID(source, DIID__DOcuvantEvents),
          "GetGUID gives the event interface");
    ITypeInfo* coclass = nullptr;
    Check(SUCCEEDED(ci->GetClassInfo(&coclass)) && coclass != nullptr, "GetClassInfo");
    if (coclass != nullptr) {
      HREFTYPE ref = 0;
      ITypeInfo* events = nullptr;
      INT flags = 0;
      for (UINT i = 0; i < 2; ++i) {
        coclass->GetImplTypeFlags(i, &flags);
        if ((flags & IMPLTYPEFLAG_FSOURCE) != 0 &&
            SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)))
          coclass->GetRefTypeInfo(ref, &events);
      }
      Check(events != nullptr, "the coclass names its source interface");
      if (events != nullptr) {
        CheckTypeInfoAgainstTable(events, true);
        events->Release();
      }
      coclass->Release();
    }
    ci->Release();
  }
  // IObjectSafety: options 3 supported and enabled.
  IObjectSafety* safety = nullptr;
  Check(SUCCEEDED(d->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety))),
        "IObjectSafety");
  if (safety != nullptr) {
    DWORD supported = 0, enabled = 0;
    Check(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled) == S_OK &&
              supported == 3 && enabled == 3,
          "safety options 3 and 3");
    Check(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3) == S_OK, "SetInterfaceSafety");
    safety->Release();
  }

  // Names: every member by name (any case) gives its DISPID; unknown names are refused.
  for (const DispatchEntry& e : ocuvant::control::DispatchTable()) {
    if (e.kind == MemberKind::Event) continue;
    std::wstring name = Wide(e.name);
    for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
    LPOLESTR n = name.data();
    DISPID id = 0;
    Check(d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id) == S_OK && id == e.dispid,
          std::string("GetIDsOfNames ") + e.name);
  }
  std::wstring unknown = L"NoSuchThing";
  LPOLESTR un = unknown.data();
  DISPID uid = 0;
  Check(d->GetIDsOfNames(IID_NULL, &un, 1, 0, &uid) == DISP_E_UNKNOWNNAME,
        "unknown name: DISP_E_UNKNOWNNAME");

  // Every member through Invoke gives what the same call on the control gives.
  auto local = ocuvant::control::COcuvantCtrl::Create();
  for (const DispatchEntry& e : ocuvant::control::DispatchTable()) {
    if (!CalledHere(e)) continue;
    std::vector<VARIANT> vs;
    std::vector<Value> values;
    const bool property = e.kind == MemberKind::Property;
    if (property) {
      Call get = InvokeDisp(d, e.dispid, DISPATCH_PROPERTYGET, {});
      const auto expected =
          ocuvant::control::Invoke(*local, e.dispid, ocuvant::control::InvokeKind::PropertyGet, {});
      Check(get.hr == S_OK && ToValue(get.result) == expected.value,
            std::string("get ") + e.name + " = " + Show(ToValue(get.result)) + ", control " +
                Show(expected.value));
      VariantClear(&get.result);
      continue;
    }
    ArgumentsFor(e, &vs, &values);
    Call c = InvokeDisp(d, e.dispid, DISPATCH_METHOD, vs);
    const auto expected =
        ocuvant::control::Invoke(*local, e.dispid, ocuvant::control::InvokeKind::Method, values);
    Check(c.hr == S_OK && ToValue(c.result) == expected.value,
          std::string(e.name) + " = " + Show(ToValue(c.result)) + " (" + Hex(c.hr) + "), control " +
              Show(expected.value));
    VariantClear(&c.result);
    for (VARIANT& v : vs) VariantClear(&v);
  }

  // Properties: coercions from strings and numbers, BSTR round trip with Chinese text.
  Check(InvokeDisp(d, 4, DISPATCH_PROPERTYPUT, {Str("17")}).hr == S_OK, "put timeout as text");
  Call t = InvokeDisp(d, 4, DISPATCH_PROPERTYGET, {});
  Check(V_VT(&t.result) == VT_I4 && V_I4(&t.result) == 17, "text \"17\" coerced to long 17");
  VARIANT real;
  VariantInit(&real);
  V_VT(&real) = VT_R8;
  V_R8(&real) = 9.0;
  Check(InvokeDisp(d, 5, DISPATCH_PROPERTYPUT, {real}).hr == S_OK, "put a double");
  Call m = InvokeDisp(d, 5, DISPATCH_PROPERTYGET, {});
  Check(V_VT(&m.result) == VT_I4 && V_I4(&m.result) == 9, "double 9.0 coerced to long 9");
  const std::string chinese = "虹膜\\usb#vid_0c45";
  Check(InvokeDisp(d, 2, DISPATCH_PROPERTYPUT, {Str(chinese)}).hr == S_OK, "put BSTR");
  Call s = InvokeDisp(d, 2, DISPATCH_PROPERTYGET, {});
  Check(FromVariantString(s.result) == chinese, "BSTR round trip keeps the Chinese text");
  VariantClear(&s.result);
  Check(InvokeDisp(d, 2, DISPATCH_PROPERTYPUT, {Long(42)}).hr == S_OK, "number put as text");
  Call n = InvokeDisp(d, 2, DISPATCH_PROPERTYGET, {});
  Check(FromVariantString(n.result) == "42", "long 42 coerced to \"42\"");
  VariantClear(&n.result);

  // Refusals.
  Check(InvokeDisp(d, 33, DISPATCH_METHOD, {}).hr == DISP_E_MEMBERNOTFOUND,
        "unknown DISPID: DISP_E_MEMBERNOTFOUND");
  Check(InvokeDisp(d, 35, DISPATCH_METHOD, {Long(0)}).hr == DISP_E_BADPARAMCOUNT,
        "too few arguments: DISP_E_BADPARAMCOUNT");
  Check(InvokeDisp(d, 10, DISPATCH_METHOD, {Long(1)}).hr == DISP_E_BADPARAMCOUNT,
        "too many arguments: DISP_E_BADPARAMCOUNT");
  Call bad = InvokeDisp(d, 35, DISPATCH_METHOD, {Str("abc"), Str("{}")});
  Check(bad.hr == DISP_E_TYPEMISMATCH && bad.argError == 1,
        "\"abc\" for a long: DISP_E_TYPEMISMATCH at argument 0 (" + Hex(bad.hr) + ", " +
            std::to_string(bad.argError) + ")");
  Check(InvokeDisp(d, 1, DISPATCH_PROPERTYPUT, {Str("one")}).hr == DISP_E_TYPEMISMATCH,
        "\"one\" for a long property: DISP_E_TYPEMISMATCH");
  Check(InvokeDisp(d, 10, DISPATCH_PROPERTYPUT, {Long(1)}).hr == DISP_E_MEMBERNOTFOUND,
        "put on a method: DISP_E_MEMBERNOTFOUND");
  // A database array shorter than its count promises is refused, not read past its end.
  SAFEARRAY* shortDb = SafeArrayCreateVector(VT_I4, 0, 10);
  VARIANT arr;
  VariantInit(&arr);
  V_VT(&arr) = VT_ARRAY | VT_I4;
  V_ARRAY(&arr) = shortDb;
  Call shortCall = InvokeDisp(d, 20, DISPATCH_METHOD,
                              {Empty(), Long(0), arr, Long(1), Empty(), Long(0), Long(0), Long(0)});
  Check(shortCall.hr == DISP_E_BADINDEX, "short database array refused: " + Hex(shortCall.hr));
  SafeArrayDestroy(shortDb);

  // No HID device under Wine: the illuminator reports -1 and nothing blocks.
  const DWORD start = GetTickCount();
  Call dev = InvokeDisp(d, 16, DISPATCH_METHOD, {});
  Check(V_VT(&dev.result) == VT_I4 && V_I4(&dev.result) == -1, "CheckDevStatus -1 with no device");
  Check(GetTickCount() - start < 2000, "CheckDevStatus returns at once");
}

// An event sink recording every event with the thread it arrived on.
class Sink final : public IDispatch {
 public:
  struct Event {
    DISPID id;
    DWORD thread;
    std::vector<LONG> ints;                 // the long arguments, left to right
    std::vector<std::vector<LONG>> arrays;  // long* arguments: 256 longs each
    std::vector<std::string> strings;
  };
  std::vector<Event> events;

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID__DOcuvantEvents)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    Event e{id, GetCurrentThreadId(), {}, {}, {}};
    for (UINT i = p->cArgs; i-- > 0;) {
      const VARIANT& v = p->rgvarg[i];
      if (V_VT(&v) == VT_I4) e.ints.push_back(V_I4(&v));
      if (V_VT(&v) == VT_BSTR) e.strings.push_back(FromVariantString(v));
      if (V_VT(&v) == (VT_BYREF | VT_I4)) {
        const LONG* a = V_I4REF(&v);
        e.arrays.emplace_back(a, a + 256);
      }
    }
    events.push_back(std::move(e));
    return S_OK;
  }
  size_t Count(DISPID id) const {
    size_t n = 0;
    for (const Event& e : events) n += e.id == id ? 1 : 0;
    return n;
  }
  const Event* Last(DISPID id) const {
    const Event* last = nullptr;
    for (const Event& e : events) {
      if (e.id == id) last = &e;
    }
    return last;
  }
};

constexpr DISPID kLogInfo = 1;
constexpr DISPID kEnrollBothIrisEvent = 2;
constexpr DISPID kMatchIrisEvent = 5;
constexpr DISPID kPhotoCaptureEvent = 6;
constexpr DISPID kCloseCameraEvent = 10;

// Dispatch ids of the members used below.
constexpr DISPID kBurger = 8;
constexpr DISPID kInitIris = 10;
constexpr DISPID kEnrollBothIris = 11;
constexpr DISPID kInitPhotoCapture = 27;
constexpr DISPID kPhotoCapture = 28;
constexpr DISPID kClosePhotoCapture = 29;
constexpr DISPID kInitInfraredFace = 30;
constexpr DISPID kEnrollInfraredFace = 31;
constexpr DISPID kCloseInfraredFace = 32;

LONG Result(const Call& c) {
  return c.hr == S_OK && V_VT(&c.result) == VT_I4 ? V_I4(&c.result) : LONG{-9999};
}

// The sink and its connection for one mode's checks.
class Connection {
 public:
  explicit Connection(IDispatch* d) {
    IConnectionPointContainer* cpc = nullptr;
    d->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
    if (cpc != nullptr) {
      cpc->FindConnectionPoint(DIID__DOcuvantEvents, &cp_);
      cpc->Release();
    }
    if (cp_ != nullptr && cp_->Advise(&sink, &cookie_) != S_OK) cookie_ = 0;
    Check(cookie_ != 0, "Advise on the event connection point");
  }
  ~Connection() {
    if (cp_ == nullptr) return;
    if (cookie_ != 0) cp_->Unadvise(cookie_);
    cp_->Release();
  }
  bool ok() const { return cookie_ != 0; }
  Sink sink;

 private:
  IConnectionPoint* cp_ = nullptr;
  DWORD cookie_ = 0;
};

std::string ExeDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string s = ocuvant::platform::WideToUtf8(path, wcslen(path));
  return s.substr(0, s.find_last_of('\\') + 1);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A snapshot: a 24-bit bottom-up BMP of width x height with the 54-byte headers the
// capture layer writes, showing the portrait scene: a face in the middle before a
// background that brightens downwards; in visible light a warm face before blue, in
// infrared grey levels with the face brightest.
void CheckPortraitBmp(const std::string& path, int32_t width, int32_t height, bool infrared,
                      const std::string& what) {
  std::ifstream in(std::filesystem::path(Wide(path)), std::ios::binary);
  const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  std::printf("%s: %s, %zu bytes\n", what.c_str(), path.c_str(), b.size());
  Check(b.size() == 54 + pixels,
        what + ": " + std::to_string(b.size()) + " bytes, not 54 + " + std::to_string(pixels));
  if (b.size() != 54 + pixels) return;
  Check(
      b[0] == 'B' && b[1] == 'M' && Le32(b, 2) == b.size() && Le32(b, 6) == 0 && Le32(b, 10) == 54,
      what + ": file header (BM, size, offset 54)");
  Check(Le32(b, 14) == 40 && static_cast<int32_t>(Le32(b, 18)) == width &&
            static_cast<int32_t>(Le32(b, 22)) == height && (Le32(b, 26) & 0xffff) == 1 &&
            (Le32(b, 26) >> 16) == 24 && Le32(b, 30) == 0,
        what + ": information header (" + std::to_string(static_cast<int32_t>(Le32(b, 18))) +
            " x " + std::to_string(static_cast<int32_t>(Le32(b, 22))) + ", 24 bits)");
  // Pixel (x, y), y counted from the top: stored rows run bottom-up.
  const auto at = [&](int32_t x, int32_t y) {
    return &b[54 + (static_cast<size_t>(height - 1 - y) * width + x) * 3];
  };
  const uint8_t* face = at(width / 2, height * 42 / 100);
  const uint8_t* top = at(width / 20, height / 20);
  const uint8_t* low = at(width / 20, height * 65 / 100);
  std::printf("%s: face BGR %d %d %d, background BGR %d %d %d (top) %d %d %d (lower)\n",
              what.c_str(), face[0], face[1], face[2], top[0], top[1], top[2], low[0], low[1],
              low[2]);
  if (infrared) {
    const auto grey = [](const uint8_t* p) { return p[0] == p[1] && p[1] == p[2]; };
    Check(grey(face) && grey(top) && grey(low), what + ": grey levels");
    Check(face[0] > 150 && face[0] > low[0] + 40, what + ": a bright face in the middle");
  } else {
    Check(face[2] > face[1] && face[1] > face[0] && face[2] > 150,
          what + ": a warm face in the middle");
    Check(top[0] > top[2] + 20 && low[0] > low[2] + 20, what + ": a blue background");
  }
  Check(low[0] > top[0] + 20, what + ": the background brightens downwards");
}

// One portrait photo on the main session: InitPhotoCapture(kind), PhotoCapture(7, file)
// announced with PhotoCaptureEvent(2, file), ClosePhotoCapture announced with
// CloseCameraEvent(1, 0).
void PortraitPhoto(IDispatch* d, const Sink& a, LONG kind, const std::string& file, int32_t width,
                   int32_t height, const std::string& what) {
  DeleteFileW(Wide(file).c_str());
  const size_t shots = a.Count(kPhotoCaptureEvent), closes = a.Count(kCloseCameraEvent);
  DWORD t0 = GetTickCount();
  const LONG init = Result(InvokeDisp(d, kInitPhotoCapture, DISPATCH_METHOD, {Long(kind)}));
  Check(init == 1,
        what + ": InitPhotoCapture(" + std::to_string(kind) + ") = " + std::to_string(init));
  std::printf("%s: InitPhotoCapture %lu ms\n", what.c_str(),
              static_cast<unsigned long>(GetTickCount() - t0));
  t0 = GetTickCount();
  Check(Result(InvokeDisp(d, kPhotoCapture, DISPATCH_METHOD, {Long(7), Str(file)})) == 1,
        what + ": PhotoCapture(7, file) = 1");
  Check(PumpUntil([&] { return a.Count(kPhotoCaptureEvent) > shots; }, 15000),
        what + ": PhotoCaptureEvent arrives");
  std::printf("%s: PhotoCapture to PhotoCaptureEvent %lu ms\n", what.c_str(),
              static_cast<unsigned long>(GetTickCount() - t0));
  const Sink::Event* shot = a.Last(kPhotoCaptureEvent);
  Check(shot != nullptr && shot->ints == std::vector<LONG>{2} && shot->strings.size() == 1 &&
            shot->strings[0] == file,
        what + ": PhotoCaptureEvent(2, the requested file)");
  CheckPortraitBmp(file, width, height, kind != 1, what);
  Check(Result(InvokeDisp(d, kClosePhotoCapture, DISPATCH_METHOD, {})) == 1,
        what + ": ClosePhotoCapture = 1");
  Check(PumpUntil([&] { return a.Count(kCloseCameraEvent) > closes; }, 10000),
        what + ": CloseCameraEvent after ClosePhotoCapture");
  const Sink::Event* closed = a.Last(kCloseCameraEvent);
  Check(closed != nullptr && closed->ints == std::vector<LONG>{1, 0},
        what + ": CloseCameraEvent(1, 0)");
  Check(a.Count(kPhotoCaptureEvent) == shots + 1, what + ": one picture, one PhotoCaptureEvent");
}

// Portrait photos on the visible-light camera (kind 1) and on the infrared one (kind 5:
// every kind but 1). Background photo: the visible-light camera beside an iris
// enrollment, its picture taken when the enrollment succeeds, beside this program.
void PhotoChecks(IDispatch* d, const std::string& dir) {
  Connection c(d);
  if (!c.ok()) return;
  Sink& a = c.sink;
  InvokeDisp(d, kBurger, DISPATCH_PROPERTYPUT, {Str(R"({"log":"1"})")});
  const std::string never = dir + "portrait_never.bmp";
  DeleteFileW(Wide(never).c_str());
  Check(Result(InvokeDisp(d, kPhotoCapture, DISPATCH_METHOD, {Long(2), Str(never)})) == -1,
        "PhotoCapture before InitPhotoCapture = -1");
  PortraitPhoto(d, a, 1, dir + "portrait_visible.bmp", 1280, 720, "portrait (visible)");
  PortraitPhoto(d, a, 5, dir + "portrait_infrared.bmp", 640, 480, "portrait (infrared)");
  PumpUntil([] { return false; }, 200);
  Check(!FileExists(never), "no file from the refused PhotoCapture");

  // Background photo: the enrollment's picture of the visible-light camera.
  const std::string background = ExeDirectory() + "CaptureForIrisEnroll.bmp";
  DeleteFileW(Wide(background).c_str());
  InvokeDisp(d, kBurger, DISPATCH_PROPERTYPUT,
             {Str(R"({"log":"1","with_big_iris":"1","iris_hid_ctl":"1",)"
                  R"("iris_with_bkcapture":"1","iris_bkcapture_camera":"1"})")});
  const size_t shots = a.Count(kPhotoCaptureEvent), closes = a.Count(kCloseCameraEvent);
  const DWORD t0 = GetTickCount();
  Check(Result(InvokeDisp(d, kInitIris, DISPATCH_METHOD, {})) == 1, "InitIris = 1");
  Check(Result(InvokeDisp(d, kEnrollBothIris, DISPATCH_METHOD, {})) == 1, "EnrollBothIris = 1");
  Check(PumpUntil([&] { return a.Count(kEnrollBothIrisEvent) > 0; }, 120000),
        "EnrollBothIrisEvent arrives");
  Check(PumpUntil([&] { return a.Count(kPhotoCaptureEvent) > shots; }, 10000),
        "PhotoCaptureEvent of the background photo");
  PumpUntil([&] { return a.Count(kCloseCameraEvent) > closes; }, 10000);
  std::printf("background: InitIris to the enrollment's photo %lu ms\n",
              static_cast<unsigned long>(GetTickCount() - t0));
  const Sink::Event* enrolled = a.Last(kEnrollBothIrisEvent);
  Check(enrolled != nullptr && enrolled->ints == std::vector<LONG>{1}, "enrolled both eyes");
  bool logged = false;
  for (const Sink::Event& e : a.events) {
    logged = logged || (e.id == kLogInfo && e.strings.size() == 2 && e.strings[0] == "iris" &&
                        e.strings[1] == "开始拍照后台注册照片");
  }
  Check(logged, "LogInfo iris: 开始拍照后台注册照片");
  const Sink::Event* bk = a.Last(kPhotoCaptureEvent);
  const bool named = bk != nullptr && bk->ints == std::vector<LONG>{0} && bk->strings.size() == 1 &&
                     bk->strings[0].size() > 25 &&
                     bk->strings[0].ends_with("\\CaptureForIrisEnroll.bmp");
  Check(named, "PhotoCaptureEvent(0, ...\\CaptureForIrisEnroll.bmp)" +
                   (bk != nullptr && !bk->strings.empty() ? ": " + bk->strings[0] : ""));
  if (named) CheckPortraitBmp(bk->strings[0], 1280, 720, false, "background photo");
  Check(FileExists(background), "the background photo is beside the program");
}

// Infrared face enrollment on the virtual infrared camera showing the script of
// test-wine: a face too far left ("Move to right"), then well placed for 4.5 s (five
// templates 800 ms apart fit), then too far right for ever. Enrolled, the session takes
// no more templates and gives no hint; refused (turned face in the middle), the face on
// the right is hinted at ("Move to left"). Both within 10 s of the last hint, before the
// session would go idle.
void FaceChecks(IDispatch* d, bool expectEnrolled) {
  Connection c(d);
  if (!c.ok()) return;
  Sink& a = c.sink;
  InvokeDisp(d, kBurger, DISPATCH_PROPERTYPUT, {Str(R"({"log":"1"})")});
  const auto faceLogs = [&](const char* text) {
    size_t n = 0;
    for (const Sink::Event& e : a.events) {
      n += e.id == kLogInfo && e.strings.size() == 2 && e.strings[0] == "face" &&
                   e.strings[1] == text
               ? 1
               : 0;
    }
    return n;
  };
  const DWORD t0 = GetTickCount();
  const LONG init = Result(InvokeDisp(d, kInitInfraredFace, DISPATCH_METHOD, {}));
  Check(init == -1,
        "InitInfraredFace = -1 (library loaded, camera opened): " + std::to_string(init));
  Check(Result(InvokeDisp(d, kInitInfraredFace, DISPATCH_METHOD, {})) == 1,
        "InitInfraredFace again = 1 (the face session is open)");
  const LONG run = Result(InvokeDisp(d, kEnrollInfraredFace, DISPATCH_METHOD, {}));
  Check(run == 1, "EnrollInfraredFace = 1 (the infrared camera runs): " + std::to_string(run));
  Check(PumpUntil([&] { return faceLogs("Move to right") > 0; }, 20000),
        "LogInfo face: Move to right");
  const DWORD hinted = GetTickCount();
  std::printf("face: EnrollInfraredFace to the first hint %lu ms\n",
              static_cast<unsigned long>(hinted - t0));
  PumpUntil([&] { return faceLogs("Move to left") > 0; }, 8500);
  const DWORD left = GetTickCount();
  std::printf("face: %zu log lines; Move to right %zu, Move to left %zu, Bad pos %zu\n",
              a.Count(kLogInfo), faceLogs("Move to right"), faceLogs("Move to left"),
              faceLogs("Bad pos"));
  Check(faceLogs("Face enrollment failed") == 0, "no \"Face enrollment failed\"");
  if (expectEnrolled) {
    Check(faceLogs("Move to left") == 0 && faceLogs("Bad pos") == 0,
          "enrolled: no hint after the five templates");
  } else {
    Check(faceLogs("Move to left") == 1, "not enrolled: the face on the right is hinted at");
    Check(faceLogs("Bad pos") > 0, "not enrolled: the turned face is reported (Bad pos)");
    std::printf("face: first hint to Move to left %lu ms\n",
                static_cast<unsigned long>(left - hinted));
  }
  Check(Result(InvokeDisp(d, kCloseInfraredFace, DISPATCH_METHOD, {})) == 1,
        "CloseInfraredFace = 1");
  Check(PumpUntil([&] { return a.Count(kCloseCameraEvent) > 0; }, 10000),
        "CloseCameraEvent after CloseInfraredFace");
  const Sink::Event* closed = a.Last(kCloseCameraEvent);
  Check(closed != nullptr && closed->ints == std::vector<LONG>{3, 0}, "CloseCameraEvent(3, 0)");
  std::printf("face: %lu ms in all\n", static_cast<unsigned long>(GetTickCount() - t0));
}

// Events without a whole workflow (the short check of a slow, emulated host): two sinks,
// the log lines of the camera's session threads and the close event of StopIris, all
// delivered on this thread.
void EventChecks(IDispatch* d) {
  IConnectionPointContainer* cpc = nullptr;
  IConnectionPoint* cp = nullptr;
  d->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
  Check(cpc != nullptr && cpc->FindConnectionPoint(DIID__DOcuvantEvents, &cp) == S_OK,
        "FindConnectionPoint");
  if (cp == nullptr) return;
  Sink a, b;
  DWORD ca = 0, cb = 0;
  Check(cp->Advise(&a, &ca) == S_OK && cp->Advise(&b, &cb) == S_OK && ca != cb, "two sinks");
  const DWORD self = GetCurrentThreadId();
  InvokeDisp(d, 8, DISPATCH_PROPERTYPUT, {Str(R"({"log":"1","with_big_iris":"1"})")});
  Call init = InvokeDisp(d, 10, DISPATCH_METHOD, {});
  Check(V_I4(&init.result) == 1, "InitIris on the virtual camera = 1");
  const DWORD t0 = GetTickCount();
  Check(PumpUntil([&] { return a.Count(1) > 0; }, 60000), "LogInfo lines arrive");
  std::printf("first LogInfo after %lu ms\n", static_cast<unsigned long>(GetTickCount() - t0));
  Call stop = InvokeDisp(d, 12, DISPATCH_METHOD, {});
  Check(stop.hr == S_OK, "StopIris");
  Check(PumpUntil([&] { return a.Count(kCloseCameraEvent) > 0; }, 60000),
        "CloseCameraEvent arrives");
  std::printf("events: %zu, InitIris to CloseCameraEvent %lu ms\n", a.events.size(),
              static_cast<unsigned long>(GetTickCount() - t0));
  const Sink::Event* closed = a.Last(kCloseCameraEvent);
  Check(closed != nullptr && closed->ints.size() == 2, "CloseCameraEvent has two arguments");
  bool onThisThread = !a.events.empty();
  for (const Sink::Event& e : a.events) onThisThread = onThisThread && e.thread == self;
  Check(onThisThread, "every event on the host's thread");
  Check(b.Count(kCloseCameraEvent) == a.Count(kCloseCameraEvent) && b.Count(1) > 0,
        "the second sink got them too");
  Check(cp->Unadvise(cb) == S_OK && cp->Unadvise(ca) == S_OK, "Unadvise");
  cp->Release();
  cpc->Release();
}

void WorkflowChecks(IDispatch* d) {
  IConnectionPointContainer* cpc = nullptr;
  IConnectionPoint* cp = nullptr;
  d->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
  Check(cpc != nullptr && cpc->FindConnectionPoint(DIID__DOcuvantEvents, &cp) == S_OK,
        "FindConnectionPoint");
  if (cp == nullptr) return;
  Sink a, b;
  DWORD ca = 0, cb = 0;
  Check(cp->Advise(&a, &ca) == S_OK && cp->Advise(&b, &cb) == S_OK && ca != cb, "two sinks");
  const DWORD self = GetCurrentThreadId();
  // Logging on: LogInfo lines come from session threads and must arrive here too.
  InvokeDisp(d, 8, DISPATCH_PROPERTYPUT,
             {Str(R"({"log":"1","with_big_iris":"1","iris_hid_ctl":"1"})")});
  // The cameras the workflow runs on (the simulator's, or DirectShow's devices).
  Call cameras = InvokeDisp(d, 9, DISPATCH_METHOD, {Long(0)});
  if (cameras.hr == S_OK && V_VT(&cameras.result) == VT_BSTR) {
    std::printf("cameras: %s\n", ocuvant::platform::WideToUtf8(
                                     V_BSTR(&cameras.result), SysStringLen(V_BSTR(&cameras.result)))
                                     .c_str());
  }
  VariantClear(&cameras.result);
  const DWORD t0 = GetTickCount();
  Call init = InvokeDisp(d, 10, DISPATCH_METHOD, {});
  Check(V_I4(&init.result) == 1, "InitIris on the virtual camera = 1");
  Call enroll = InvokeDisp(d, 11, DISPATCH_METHOD, {});
  Check(V_I4(&enroll.result) == 1, "EnrollBothIris = 1");
  Check(PumpUntil([&] { return a.Count(kEnrollBothIrisEvent) > 0; }, 120000),
        "EnrollBothIrisEvent arrives");
  PumpUntil([&] { return a.Count(kCloseCameraEvent) > 0; }, 10000);
  std::printf("enrollment: %lu ms\n", static_cast<unsigned long>(GetTickCount() - t0));
  const Sink::Event* enrolled = a.Last(kEnrollBothIrisEvent);
  Check(enrolled != nullptr && enrolled->ints.size() == 1 && enrolled->ints[0] == 1 &&
            enrolled->arrays.size() == 6,
        "enrolled both eyes (result 1, six template areas)");
  Check(b.Count(kEnrollBothIrisEvent) == a.Count(kEnrollBothIrisEvent), "both sinks got it");
  bool onThisThread = !a.events.empty();
  size_t logs = 0;
  for (const Sink::Event& e : a.events) {
    onThisThread = onThisThread && e.thread == self;
    logs += e.id == 1 ? 1 : 0;
  }
  Check(onThisThread, "every event on the host's thread");
  Check(logs > 0, "LogInfo lines delivered (" + std::to_string(logs) + ")");
  if (enrolled == nullptr || enrolled->arrays.size() != 6) return;

  // The database: left and right step-0 Big templates, first as a SAFEARRAY of VT_I4.
  std::vector<LONG> db(enrolled->arrays[2].begin(), enrolled->arrays[2].begin() + 128);
  db.insert(db.end(), enrolled->arrays[3].begin(), enrolled->arrays[3].begin() + 128);
  for (int form = 0; form < 2; ++form) {
    const char* formName = form == 0 ? "SAFEARRAY" : "long*";
    VARIANT dbArg;
    VariantInit(&dbArg);
    SAFEARRAY* sa = nullptr;
    if (form == 0) {
      sa = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(db.size()));
      void* data = nullptr;
      SafeArrayAccessData(sa, &data);
      std::memcpy(data, db.data(), db.size() * sizeof(LONG));
      SafeArrayUnaccessData(sa);
      V_VT(&dbArg) = VT_ARRAY | VT_I4;
      V_ARRAY(&dbArg) = sa;
    } else {
      V_VT(&dbArg) = VT_BYREF | VT_I4;
      V_I4REF(&dbArg) = db.data();
    }
    const size_t before = a.Count(kMatchIrisEvent);
    const size_t closes = a.Count(kCloseCameraEvent);
    const DWORD t1 = GetTickCount();
    Call i2 = InvokeDisp(d, 10, DISPATCH_METHOD, {});
    Call match = InvokeDisp(d, 20, DISPATCH_METHOD,
                            {Empty(), Long(0), dbArg, Long(2), Empty(), Long(0), Long(0), Long(0)});
    if (sa != nullptr) SafeArrayDestroy(sa);  // the control holds its own copy
    Check(V_I4(&i2.result) == 1 && V_I4(&match.result) == 1,
          std::string("MatchIris with a ") + formName +
              " database = " + std::to_string(V_I4(&match.result)));
    Check(PumpUntil([&] { return a.Count(kMatchIrisEvent) > before; }, 60000),
          std::string("MatchIrisEvent arrives (") + formName + ")");
    PumpUntil([&] { return a.Count(kCloseCameraEvent) > closes; }, 10000);
    std::printf("match (%s): %lu ms\n", formName, static_cast<unsigned long>(GetTickCount() - t1));
    const Sink::Event* m = a.Last(kMatchIrisEvent);
    const bool ok =
        m != nullptr && m->ints.size() == 4 && m->ints[0] == -1 && m->ints[2] == -1 &&
        ((m->ints[3] == 20 && m->ints[1] == 0) || (m->ints[3] == 21 && m->ints[1] == 1));
    Check(ok, std::string("identified by eye and index (") + formName + ")" +
                  (m != nullptr && m->ints.size() == 4
                       ? ": " + std::to_string(m->ints[1]) + ", " + std::to_string(m->ints[3])
                       : ""));
    Check(b.Count(kMatchIrisEvent) == a.Count(kMatchIrisEvent), "the second sink too");
  }
  Check(cp->Unadvise(cb) == S_OK && cp->Unadvise(cb) == CONNECT_E_NOCONNECTION, "Unadvise");
  cp->Unadvise(ca);
  cp->Release();
  cpc->Release();
}

// The iris camera unplugged while the snapshot-only iris session streams (the DirectShow
// virtual iris camera with the script "present:1500,unplugged"): the control closes the
// session on its own and tells the host, and the cause is in the log.
void CameraLostChecks(IDispatch* d) {
  IConnectionPointContainer* cpc = nullptr;
  IConnectionPoint* cp = nullptr;
  d->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
  if (cpc == nullptr || cpc->FindConnectionPoint(DIID__DOcuvantEvents, &cp) != S_OK) {
    Check(false, "FindConnectionPoint");
    if (cpc != nullptr) cpc->Release();
    return;
  }
  Sink a;
  DWORD cookie = 0;
  Check(cp->Advise(&a, &cookie) == S_OK, "Advise");
  InvokeDisp(d, 8, DISPATCH_PROPERTYPUT, {Str(R"({"log":"1"})")});
  Call init = InvokeDisp(d, 15, DISPATCH_METHOD, {});
  Check(V_I4(&init.result) == 1, "InitCaptureIris = " + std::to_string(V_I4(&init.result)));
  const DWORD t0 = GetTickCount();
  Check(PumpUntil([&] { return a.Count(kCloseCameraEvent) > 0; }, 15000),
        "CloseCameraEvent after the camera is unplugged");
  std::printf("camera lost -> CloseCameraEvent: %lu ms after InitCaptureIris\n",
              static_cast<unsigned long>(GetTickCount() - t0));
  bool logged = false;
  for (const Sink::Event& e : a.events) {
    for (const std::string& text : e.strings) {
      logged = logged || text.find("视频设备停止工作:EC_DEVICE_LOST") != std::string::npos;
    }
  }
  Check(logged, "LogInfo names the cause (视频设备停止工作:EC_DEVICE_LOST)");
  Call again = InvokeDisp(d, 15, DISPATCH_METHOD, {});
  Check(V_I4(&again.result) != -200,
        "the session is closed: InitCaptureIris is not refused as open");
  InvokeDisp(d, 13, DISPATCH_METHOD, {});  // CloseIris
  PumpUntil([] { return false; }, 300);
  cp->Unadvise(cookie);
  cp->Release();
  cpc->Release();
}

}  // namespace

// The type library inside a module file (either width: a 64-bit process reads the
// 32-bit module's library too) against the dispatch table.
void TypeLibraryFileChecks(const char* path) {
  ITypeLib* lib = nullptr;
  const std::wstring file = Wide(path);
  Check(LoadTypeLibEx(file.c_str(), REGKIND_NONE, &lib) == S_OK && lib != nullptr,
        std::string("LoadTypeLibEx ") + path);
  if (lib == nullptr) return;
  for (const auto& [guid, events] :
       {std::pair{DIID__DOcuvant, false}, {DIID__DOcuvantEvents, true}}) {
    ITypeInfo* info = nullptr;
    Check(lib->GetTypeInfoOfGuid(guid, &info) == S_OK, "the library holds the interface");
    if (info != nullptr) {
      CheckTypeInfoAgainstTable(info, events);
      info->Release();
    }
  }
  TLIBATTR* attr = nullptr;
  lib->GetLibAttr(&attr);
  Check(attr != nullptr && IsEqualGUID(attr->guid, LIBID_OCUVANTLib) && attr->wMajorVerNum == 1 &&
            attr->wMinorVerNum == 0 && attr->lcid == 0x409,
        "OCUVANTLib 1.0, locale 0x409");
  if (attr != nullptr) lib->ReleaseTLibAttr(attr);
  lib->Release();
}

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "dispatch";
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // a killed run still shows how far it got
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (mode == "typelib" && argc > 2) {
    TypeLibraryFileChecks(argv[2]);
    CoUninitialize();
    std::printf("typelib: %d checks, %d failed\n", g_checks, g_failures);
    return g_failures == 0 ? 0 : 1;
  }
  CLSID clsid{};
  Check(CLSIDFromProgID(L"OCUVANT.OcuvantCtrl.1", &clsid) == S_OK &&
            IsEqualCLSID(clsid, CLSID_Ocuvant),
        "the ProgID names the control's class");
  IDispatch* d = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(&d));
  Check(hr == S_OK && d != nullptr, "CoCreateInstance by ProgID: " + Hex(hr));
  if (d != nullptr) {
    if (mode == "workflow") {
      WorkflowChecks(d);
    } else if (mode == "lost") {
      CameraLostChecks(d);
    } else if (mode == "photos") {
      std::string dir = argc > 2 ? argv[2] : ExeDirectory();
      if (!dir.empty() && dir.back() != '\\') dir += '\\';
      PhotoChecks(d, dir);
    } else if (mode == "face") {
      FaceChecks(d, argc < 3 || std::string(argv[2]) != "refused");
    } else if (mode == "events") {
      EventChecks(d);
      std::printf("checks done at %lu ms\n", static_cast<unsigned long>(GetTickCount()));
    } else {
      DispatchChecks(d);
    }
    d->Release();
    std::printf("control released at %lu ms\n", static_cast<unsigned long>(GetTickCount()));
  }
  CoUninitialize();
  std::printf("%s: %d checks, %d failed\n", mode.c_str(), g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
