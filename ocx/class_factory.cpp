// The two class factories (the control's and the page's) and the module's COM entry
// points: DllGetClassObject, DllCanUnloadNow, DllRegisterServer, DllUnregisterServer.
// The control's headers before any Windows header (those define S_OK as a macro).
#include "ocx/ocuvant_object.h"
// Then the rest.
#include <new>

#include "ocx/module.h"
#include "ocx/property_page.h"
#include "ocx/registration.h"
#include "session/match_pool.h"

namespace ocuvant::ocx {

void SetModule(HMODULE module);

namespace {

class ClassFactory final : public IClassFactory {
 public:
  using CreateFn = HRESULT (*)(REFIID, void**);
  explicit ClassFactory(CreateFn create) : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Static factories: they live as long as the module; references lock it instead.
  STDMETHODIMP_(ULONG) AddRef() override {
    LockModule(true);
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    LockModule(false);
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(riid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    LockModule(lock != FALSE);
    return S_OK;
  }

 private:
  CreateFn create_;
};

ClassFactory g_controlFactory(&OcuvantObject::Create);
ClassFactory g_pageFactory(&PropertyPage::Create);

}  // namespace

}  // namespace ocuvant::ocx

using namespace ocuvant::ocx;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetModule(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualCLSID(clsid, CLSID_Ocuvant)) return g_controlFactory.QueryInterface(riid, out);
  if (IsEqualCLSID(clsid, CLSID_OcuvantPropPage)) return g_pageFactory.QueryInterface(riid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  if (!CanUnload()) return S_FALSE;
  // The match threads end now, outside the loader lock: in DLL_PROCESS_DETACH a thread
  // cannot be joined (FreeLibrary would hang), and left running it would run code
  // that is no longer mapped.
  ocuvant::session::StopMatchPool();
  return S_OK;
}

STDAPI DllRegisterServer() {
  return RegisterModule();
}

STDAPI DllUnregisterServer() {
  return UnregisterModule();
}
