#include "ocx/ocuvant_object.h"

#include <cstring>
#include <new>

#include "capture/picture_window_win.h"
#include "ocx/about_box.h"
#include "ocx/event_connection_point.h"
#include "ocx/module.h"
#include "ocx/simulator_setup.h"
#include "ocx/variant_values.h"

namespace ocuvant::ocx {

namespace {

using control::DispatchEntry;
using control::MemberKind;
using control::Value;
using control::ValueType;

constexpr DWORD kMiscStatus = 0x30191;
constexpr DWORD kPersistVersion = 0x10000;
constexpr DWORD kSafetyOptions =
    INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
constexpr size_t kIntsPerTemplate = 512 / sizeof(int32_t);
constexpr wchar_t kViewClass[] = L"OcuvantControlView";

// The control's window in its container. The live picture of a camera session (the
// video renderer's window, a child) follows its size and covers the client area.
LRESULT CALLBACK ViewProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_SIZE) {
    for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      MoveWindow(child, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
    }
  }
  return DefWindowProcW(hwnd, message, wp, lp);
}

// MatchIris's refusals that leave the stored databases untouched (nothing armed).
bool LeavesDatabasesUntouched(int32_t result) {
  return result == -100 || result == -101 || result == -200;
}

ATOM RegisterViewClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = Module();
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kViewClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

template <typename T>
void ReleaseAndClear(T*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

}  // namespace

HRESULT OcuvantObject::Create(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  OcuvantObject* object = new (std::nothrow) OcuvantObject();
  if (object == nullptr || !object->control_) {
    delete object;
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = object->QueryInterface(riid, out);
  object->Release();
  return hr;
}

OcuvantObject::OcuvantObject() {
  ObjectCreated();
  simulator_ = AcquireSimulator();
  control_ = control::COcuvantCtrl::Create();
  connectionPoint_ = new EventConnectionPoint(static_cast<IConnectionPointContainer*>(this));
  if (control_) control_->SetEventSink(connectionPoint_->Sink());
}

// The live picture's window belongs to the camera session's renderer: it is handed
// back (hidden, without a parent) before the view goes, never destroyed with it.
void OcuvantObject::DestroyView() {
  if (view_ == nullptr) return;
  if (control_) capture::SetPictureWindow(&control_->ControlWindow(), nullptr);
  while (HWND child = ::GetWindow(view_, GW_CHILD)) {
    ShowWindow(child, SW_HIDE);
    SetParent(child, nullptr);
  }
  DestroyWindow(view_);
  view_ = nullptr;
}

OcuvantObject::~OcuvantObject() {
  DestroyView();
  ReleaseAndClear(inPlaceSite_);
  ReleaseAndClear(site_);
  ReleaseAndClear(viewSink_);
  if (control_) control_->SetEventSink(nullptr);
  control_.reset();
  connectionPoint_->Detach();
  connectionPoint_->Release();
  if (simulator_) ReleaseSimulator();
  ObjectDestroyed();
}

// ---- IUnknown ----

STDMETHODIMP OcuvantObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, DIID__DOcuvant)) {
    *out = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else if (IsEqualIID(riid, IID_IProvideClassInfo) || IsEqualIID(riid, IID_IProvideClassInfo2)) {
    *out = static_cast<IProvideClassInfo2*>(this);
  } else if (IsEqualIID(riid, IID_IObjectSafety)) {
    *out = static_cast<IObjectSafety*>(this);
  } else if (IsEqualIID(riid, IID_IOleObject)) {
    *out = static_cast<IOleObject*>(this);
  } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject)) {
    *out = static_cast<IOleInPlaceObject*>(this);
  } else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject)) {
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (IsEqualIID(riid, IID_IOleControl)) {
    *out = static_cast<IOleControl*>(this);
  } else if (IsEqualIID(riid, IID_IViewObject) || IsEqualIID(riid, IID_IViewObject2)) {
    *out = static_cast<IViewObject2*>(this);
  } else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit)) {
    *out = static_cast<IPersistStreamInit*>(this);
  } else if (IsEqualIID(riid, IID_IPersistPropertyBag)) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) OcuvantObject::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) OcuvantObject::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

// ---- IDispatch: names and types from the type library, calls through the table ----

STDMETHODIMP OcuvantObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP OcuvantObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return TypeInfoOf(DIID__DOcuvant, info);
}

STDMETHODIMP OcuvantObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = TypeInfoOf(DIID__DOcuvant, &info);
  if (FAILED(hr)) return hr;
  hr = info->GetIDsOfNames(names, count, ids);
  info->Release();
  return hr;
}

STDMETHODIMP OcuvantObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT* argError) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  const DispatchEntry* entry = control::FindMember(id);
  if (entry == nullptr) return DISP_E_MEMBERNOTFOUND;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  control::InvokeKind kind;
  if (entry->kind == MemberKind::Property) {
    if (put) {
      if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return params->cArgs != 1 ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTOPTIONAL;
      }
      kind = control::InvokeKind::PropertyPut;
    } else if ((flags & DISPATCH_PROPERTYGET) != 0) {
      kind = control::InvokeKind::PropertyGet;
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
  } else {
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    kind = control::InvokeKind::Method;
  }
  const ValueType* types = kind == control::InvokeKind::PropertyPut ? &entry->type : entry->args;
  const UINT expected = kind == control::InvokeKind::PropertyPut ? 1u
                        : kind == control::InvokeKind::Method    ? entry->argCount
                                                                 : 0u;
  if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;
  // Arguments arrive right to left; databases are copied where they are not a pointer.
  std::vector<Value> args(expected);
  std::vector<int32_t> copies[3];
  int databaseIndex = 0;
  for (UINT i = 0; i < expected; ++i) {
    const UINT position = expected - 1 - i;
    std::vector<int32_t>* copy = nullptr;
    if (types[i] == ValueType::Int32Ptr) copy = &copies[databaseIndex < 3 ? databaseIndex++ : 2];
    const HRESULT hr = ToValue(params->rgvarg[position], types[i], &args[i], copy);
    if (FAILED(hr)) {
      if (argError != nullptr) *argError = position;
      return hr;
    }
  }
  // A copied database must hold the templates its count promises (the control reads
  // that many): a short array is refused rather than read past its end.
  for (UINT i = 0; i + 1 < expected; ++i) {
    if (types[i] != ValueType::Int32Ptr || types[i + 1] != ValueType::Int32) continue;
    const auto* pointer = std::get<const int32_t*>(args[i]);
    const int32_t count = std::get<int32_t>(args[i + 1]);
    for (const auto& copy : copies) {
      if (pointer != nullptr && pointer == copy.data() && count > 0 &&
          copy.size() < static_cast<size_t>(count) * kIntsPerTemplate) {
        if (argError != nullptr) *argError = expected - 1 - i;
        return DISP_E_BADINDEX;
      }
    }
  }
  // The about box is the module's dialog resource, shown modally on this thread.
  if (id == DISPID_ABOUTBOX && kind == control::InvokeKind::Method) {
    ShowAboutBox(view_);
    if (result != nullptr) VariantInit(result);
    return S_OK;
  }
  const control::InvokeResult r = control::Invoke(*control_, id, kind, args);
  if (!r.ok()) return static_cast<HRESULT>(r.hr);
  if (databaseIndex > 0) {
    const auto* code = std::get_if<int32_t>(&r.value);
    if (code == nullptr || !LeavesDatabasesUntouched(*code)) {
      for (int k = 0; k < 3; ++k) {
        previousDatabases_[k].swap(databaseCopies_[k]);
        databaseCopies_[k].swap(copies[k]);
      }
    }
  }
  FromValue(r.value, result);
  return S_OK;
}

// ---- Connection points ----

STDMETHODIMP OcuvantObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OcuvantObject::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(riid, DIID__DOcuvantEvents)) return CONNECT_E_NOCONNECTION;
  connectionPoint_->AddRef();
  *out = connectionPoint_;
  return S_OK;
}

// ---- IProvideClassInfo2 ----

STDMETHODIMP OcuvantObject::GetClassInfo(ITypeInfo** info) {
  return TypeInfoOf(CLSID_Ocuvant, info);
}

STDMETHODIMP OcuvantObject::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID__DOcuvantEvents;
  return S_OK;
}

// ---- IObjectSafety: safe for untrusted callers and data on every interface ----

STDMETHODIMP OcuvantObject::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported,
                                                      DWORD* enabled) {
  control::Guid guid{};
  static_assert(sizeof guid == sizeof(IID));
  std::memcpy(&guid, &riid, sizeof guid);
  uint32_t s = 0, e = 0;
  const control::HRESULT hr = control_->ObjectSafetyPart().GetInterfaceSafetyOptions(
      guid, supported != nullptr ? &s : nullptr, enabled != nullptr ? &e : nullptr);
  if (supported != nullptr) *supported = s;
  if (enabled != nullptr) *enabled = e;
  return static_cast<HRESULT>(hr);
}

STDMETHODIMP OcuvantObject::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
  control::Guid guid{};
  std::memcpy(&guid, &riid, sizeof guid);
  return static_cast<HRESULT>(
      control_->ObjectSafetyPart().SetInterfaceSafetyOptions(guid, mask, enabled));
}

// ---- IOleObject ----

STDMETHODIMP OcuvantObject::SetClientSite(IOleClientSite* site) {
  if (site != nullptr) site->AddRef();
  ReleaseAndClear(site_);
  site_ = site;
  return S_OK;
}

STDMETHODIMP OcuvantObject::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = site_;
  if (site_ != nullptr) site_->AddRef();
  return S_OK;
}

STDMETHODIMP OcuvantObject::SetHostNames(LPCOLESTR, LPCOLESTR) {
  return S_OK;
}

STDMETHODIMP OcuvantObject::Close(DWORD) {
  InPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP OcuvantObject::SetMoniker(DWORD, IMoniker*) {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::InitFromData(IDataObject*, BOOL, DWORD) {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OcuvantObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT rect) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate(site != nullptr ? site : site_, parent, rect);
    case OLEIVERB_HIDE:
      if (view_ != nullptr) ShowWindow(view_, SW_HIDE);
      return S_OK;
    case OLEIVERB_PROPERTIES:
      return ShowPropertyPages(parent);
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT OcuvantObject::InPlaceActivate(IOleClientSite* site, HWND parent, LPCRECT rect) {
  if (view_ != nullptr) {
    ShowWindow(view_, SW_SHOW);
    return S_OK;
  }
  if (site == nullptr) return E_UNEXPECTED;
  IOleInPlaceSite* inPlace = nullptr;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
    return E_NOINTERFACE;
  }
  if (inPlace->CanInPlaceActivate() != S_OK) {
    inPlace->Release();
    return E_FAIL;
  }
  inPlace->OnInPlaceActivate();
  HWND container = parent;
  if (container == nullptr) inPlace->GetWindow(&container);
  RECT position{0, 0, 100, 100};
  if (rect != nullptr) {
    position = *rect;
  } else {
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    if (SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &position, &clip, &info))) {
      ReleaseAndClear(frame);
      ReleaseAndClear(document);
    }
  }
  RegisterViewClass();
  view_ = CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                          position.left, position.top, position.right - position.left,
                          position.bottom - position.top, container, nullptr, Module(), nullptr);
  if (view_ != nullptr) capture::SetPictureWindow(&control_->ControlWindow(), view_);
  inPlaceSite_ = inPlace;
  return view_ != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP OcuvantObject::EnumVerbs(IEnumOLEVERB** verbs) {
  return OleRegEnumVerbs(CLSID_Ocuvant, verbs);
}
STDMETHODIMP OcuvantObject::Update() {
  return S_OK;
}
STDMETHODIMP OcuvantObject::IsUpToDate() {
  return S_OK;
}
STDMETHODIMP OcuvantObject::GetUserClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Ocuvant;
  return S_OK;
}
STDMETHODIMP OcuvantObject::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_Ocuvant, form, type);
}
STDMETHODIMP OcuvantObject::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  return S_OK;
}
STDMETHODIMP OcuvantObject::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}
STDMETHODIMP OcuvantObject::Advise(IAdviseSink*, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::Unadvise(DWORD) {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise != nullptr) *advise = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}
STDMETHODIMP OcuvantObject::SetColorScheme(LOGPALETTE*) {
  return E_NOTIMPL;
}

// ---- IOleInPlaceObject / IOleInPlaceActiveObject ----

STDMETHODIMP OcuvantObject::GetWindow(HWND* hwnd) {
  if (hwnd == nullptr) return E_POINTER;
  *hwnd = view_;
  return view_ != nullptr ? S_OK : E_FAIL;
}
STDMETHODIMP OcuvantObject::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::InPlaceDeactivate() {
  DestroyView();
  view_ = nullptr;
  if (inPlaceSite_ != nullptr) inPlaceSite_->OnInPlaceDeactivate();
  ReleaseAndClear(inPlaceSite_);
  return S_OK;
}
STDMETHODIMP OcuvantObject::UIDeactivate() {
  return S_OK;
}
STDMETHODIMP OcuvantObject::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  if (view_ != nullptr) {
    MoveWindow(view_, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  }
  return S_OK;
}
STDMETHODIMP OcuvantObject::ReactivateAndUndo() {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::TranslateAccelerator(LPMSG) {
  return S_FALSE;
}
STDMETHODIMP OcuvantObject::OnFrameWindowActivate(BOOL) {
  return S_OK;
}
STDMETHODIMP OcuvantObject::OnDocWindowActivate(BOOL) {
  return S_OK;
}
STDMETHODIMP OcuvantObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}
STDMETHODIMP OcuvantObject::EnableModeless(BOOL) {
  return S_OK;
}

// ---- IOleControl ----

STDMETHODIMP OcuvantObject::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->cb = sizeof *info;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}
STDMETHODIMP OcuvantObject::OnMnemonic(MSG*) {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::OnAmbientPropertyChange(DISPID) {
  return S_OK;
}
STDMETHODIMP OcuvantObject::FreezeEvents(BOOL freeze) {
  connectionPoint_->SetFrozen(freeze != FALSE);
  return S_OK;
}

// ---- IViewObject2: the control draws a white rectangle ----

STDMETHODIMP OcuvantObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (drawDc == nullptr || bounds == nullptr) return E_INVALIDARG;
  const RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
  FillRect(drawDc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  return S_OK;
}
STDMETHODIMP OcuvantObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return S_FALSE;
}
STDMETHODIMP OcuvantObject::Freeze(DWORD, LONG, void*, DWORD*) {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::Unfreeze(DWORD) {
  return E_NOTIMPL;
}
STDMETHODIMP OcuvantObject::SetAdvise(DWORD, DWORD, IAdviseSink* sink) {
  if (sink != nullptr) sink->AddRef();
  ReleaseAndClear(viewSink_);
  viewSink_ = sink;
  return S_OK;
}
STDMETHODIMP OcuvantObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = DVASPECT_CONTENT;
  if (flags != nullptr) *flags = 0;
  if (sink != nullptr) {
    *sink = viewSink_;
    if (viewSink_ != nullptr) viewSink_->AddRef();
  }
  return S_OK;
}
STDMETHODIMP OcuvantObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// ---- Persistence: only the version word; no property is persisted ----

STDMETHODIMP OcuvantObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Ocuvant;
  return S_OK;
}
STDMETHODIMP OcuvantObject::IsDirty() {
  return S_FALSE;
}
STDMETHODIMP OcuvantObject::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  DWORD version = 0;
  ULONG read = 0;
  const HRESULT hr = stream->Read(&version, sizeof version, &read);
  if (FAILED(hr)) return hr;
  return read == sizeof version ? S_OK : STG_E_READFAULT;
}
STDMETHODIMP OcuvantObject::Save(LPSTREAM stream, BOOL) {
  if (stream == nullptr) return E_POINTER;
  const DWORD version = kPersistVersion;
  return stream->Write(&version, sizeof version, nullptr);
}
STDMETHODIMP OcuvantObject::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = sizeof(DWORD);
  return S_OK;
}
STDMETHODIMP OcuvantObject::InitNew() {
  return S_OK;
}
STDMETHODIMP OcuvantObject::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  bag->Read(L"_Version", &v, log);  // absent in a new bag: nothing else is read either
  VariantClear(&v);
  return S_OK;
}
STDMETHODIMP OcuvantObject::Save(IPropertyBag* bag, BOOL, BOOL) {
  if (bag == nullptr) return E_POINTER;
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = static_cast<LONG>(kPersistVersion);
  return bag->Write(L"_Version", &v);
}

HRESULT OcuvantObject::ShowPropertyPages(HWND owner) {
  CLSID page = CLSID_OcuvantPropPage;
  IUnknown* self = static_cast<IDispatch*>(this);
  const std::wstring caption = LoadModuleString(kStringControlName);
  return OleCreatePropertyFrame(owner, 0, 0, caption.c_str(), 1, &self, 1, &page,
                                LOCALE_USER_DEFAULT, 0, nullptr);
}

}  // namespace ocuvant::ocx
