#include "ocx/property_page.h"

#include <cstring>
#include <new>

#include "ocx/module.h"

namespace ocuvant::ocx {

namespace {

INT_PTR CALLBACK PageProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

LPOLESTR CoString(const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (out != nullptr) std::memcpy(out, text.c_str(), bytes);
  return out;
}

}  // namespace

HRESULT PropertyPage::Create(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  PropertyPage* page = new (std::nothrow) PropertyPage();
  if (page == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = page->QueryInterface(riid, out);
  page->Release();
  return hr;
}

PropertyPage::PropertyPage() {
  ObjectCreated();
}

PropertyPage::~PropertyPage() {
  Deactivate();
  if (site_ != nullptr) site_->Release();
  ObjectDestroyed();
}

STDMETHODIMP PropertyPage::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPage)) {
    *out = static_cast<IPropertyPage*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PropertyPage::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) PropertyPage::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site != nullptr) site->AddRef();
  if (site_ != nullptr) site_->Release();
  site_ = site;
  return S_OK;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (dialog_ != nullptr) return E_UNEXPECTED;
  dialog_ =
      CreateDialogParamW(Module(), MAKEINTRESOURCEW(kDialogPropertyPage), parent, PageProc, 0);
  if (dialog_ == nullptr) return E_FAIL;
  if (rect != nullptr) Move(rect);
  return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
  dialog_ = nullptr;
  return S_OK;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->cb = sizeof *info;
  info->pszTitle = CoString(LoadModuleString(kStringPageCaption));
  // The dialog's size in pixels: its template measured once in a hidden instance.
  SIZE size{250, 62};
  if (HWND probe = CreateDialogParamW(Module(), MAKEINTRESOURCEW(kDialogPropertyPage), nullptr,
                                      PageProc, 0)) {
    RECT r{};
    GetWindowRect(probe, &r);
    size = {r.right - r.left, r.bottom - r.top};
    DestroyWindow(probe);
  }
  info->size = size;
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG, IUnknown**) {
  return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT show) {
  if (dialog_ != nullptr) ShowWindow(dialog_, static_cast<int>(show));
  return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (dialog_ != nullptr) {
    MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
  }
  return S_OK;
}

STDMETHODIMP PropertyPage::IsPageDirty() {
  return S_FALSE;
}
STDMETHODIMP PropertyPage::Apply() {
  return S_OK;
}
STDMETHODIMP PropertyPage::Help(LPCOLESTR) {
  return E_NOTIMPL;
}
STDMETHODIMP PropertyPage::TranslateAccelerator(MSG* msg) {
  return dialog_ != nullptr && msg != nullptr && IsDialogMessageW(dialog_, msg) ? S_OK : S_FALSE;
}

}  // namespace ocuvant::ocx
