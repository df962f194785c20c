#include "ocx/registration.h"

#include <string>

#include "ocx/module.h"

namespace ocuvant::ocx {

namespace {

constexpr wchar_t kControlProgId[] = L"OCUVANT.OcuvantCtrl.1";
constexpr wchar_t kPageProgId[] = L"OCUVANT.OcuvantPropPage.1";
constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// Sets HKCR\key's value `name` (nullptr: the default value) to `value`.
bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG r = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

bool DeleteTree(const std::wstring& key) {
  const LONG r = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return false;
  const LONG d = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return d == ERROR_SUCCESS || d == ERROR_FILE_NOT_FOUND;
}

bool RegisterClassKeys(REFCLSID clsid, const wchar_t* progId, const std::wstring& name) {
  const std::wstring clsidText = GuidText(clsid);
  const std::wstring key = L"CLSID\\" + clsidText;
  return SetValue(key, nullptr, name) &&
         SetValue(key + L"\\InprocServer32", nullptr, ModulePath()) &&
         SetValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
         SetValue(key + L"\\ProgID", nullptr, progId) && SetValue(progId, nullptr, name) &&
         SetValue(std::wstring(progId) + L"\\CLSID", nullptr, clsidText);
}

bool RegisterControl() {
  const std::wstring key = L"CLSID\\" + GuidText(CLSID_Ocuvant);
  const std::wstring status = std::to_wstring(kControlMiscStatus);
  return RegisterClassKeys(CLSID_Ocuvant, kControlProgId, LoadModuleString(kStringControlName)) &&
         SetValue(key + L"\\Control", nullptr, L"") &&
         SetValue(key + L"\\MiscStatus", nullptr, L"0") &&
         SetValue(key + L"\\MiscStatus\\1", nullptr, status) &&
         SetValue(key + L"\\ToolboxBitmap32", nullptr,
                  ModulePath() + L", " + std::to_wstring(kBitmapToolbox)) &&
         SetValue(key + L"\\TypeLib", nullptr, GuidText(LIBID_OCUVANTLib)) &&
         SetValue(key + L"\\Version", nullptr, L"1.0") &&
         SetValue(key + L"\\Implemented Categories\\" + kControlCategory, nullptr, L"") &&
         SetValue(key + L"\\Verb\\0", nullptr, L"&Properties...,0,2");
}

bool UnregisterClassKeys(REFCLSID clsid, const wchar_t* progId) {
  return DeleteTree(L"CLSID\\" + GuidText(clsid)) & DeleteTree(progId);
}

}  // namespace

HRESULT RegisterModule() {
  ITypeLib* library = TypeLibrary();
  std::wstring path = ModulePath();
  if (library == nullptr || FAILED(RegisterTypeLib(library, path.data(), nullptr))) {
    return kTypeLibraryNotRegistered;
  }
  if (!RegisterControl() ||
      !RegisterClassKeys(CLSID_OcuvantPropPage, kPageProgId, LoadModuleString(kStringPageName))) {
    return kClassNotRegistered;
  }
  return S_OK;
}

HRESULT UnregisterModule() {
  // The registered library's own record must be there: otherwise nothing is touched.
  const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  BSTR registered = nullptr;
  if (FAILED(QueryPathOfRegTypeLib(LIBID_OCUVANTLib, 1, 0, 0x409, &registered))) {
    return kTypeLibraryNotRegistered;
  }
  SysFreeString(registered);
  if (FAILED(UnRegisterTypeLib(LIBID_OCUVANTLib, 1, 0, 0x409, kind))) {
    return kTypeLibraryNotRegistered;
  }
  const bool control = UnregisterClassKeys(CLSID_Ocuvant, kControlProgId);
  const bool page = UnregisterClassKeys(CLSID_OcuvantPropPage, kPageProgId);
  return control && page ? S_OK : kClassNotRegistered;
}

}  // namespace ocuvant::ocx
