// COcuvantPropPage: the property page on dialog 200 (one static text; it exchanges
// no property).
#pragma once

#include <windows.h>
// (these need windows.h first)
#include <ocidl.h>

namespace ocuvant::ocx {

class PropertyPage final : public IPropertyPage {
 public:
  static HRESULT Create(REFIID riid, void** out);

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT show) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR helpDir) override;
  STDMETHODIMP TranslateAccelerator(MSG* msg) override;

 private:
  PropertyPage();
  ~PropertyPage();
  LONG refs_ = 1;
  IPropertyPageSite* site_ = nullptr;
  HWND dialog_ = nullptr;
};

}  // namespace ocuvant::ocx
