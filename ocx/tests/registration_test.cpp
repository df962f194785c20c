// Self-registration of the module: every registry value of the two classes and the
// type library after DllRegisterServer, nothing left after DllUnregisterServer, and an
// unregistration whose type library is not registered refused with 0x80040200 while
// the classes stay.  Usage: registration_test MODULE.ocx (left registered at the end)
#include <windows.h>
// (these need windows.h first)
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "ocuvant_h.h"

namespace {

int g_failures = 0;
int g_checks = 0;

void Check(bool ok, const std::string& what) {
  ++g_checks;
  if (!ok) {
    ++g_failures;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

std::wstring GuidText(REFGUID g) {
  wchar_t text[40] = {};
  StringFromGUID2(g, text, 40);
  return text;
}

std::string Narrow(const std::wstring& w) {
  std::string out;
  for (wchar_t c : w) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

bool KeyExists(const std::wstring& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return data;
}

void ExpectValue(const std::wstring& key, const wchar_t* name, const std::wstring& expected) {
  const std::wstring got = Value(key, name);
  Check(got == expected, "HKCR\\" + Narrow(key) + (name ? "[" + Narrow(name) + "]" : "") + " = " +
                             Narrow(got) + ", expected " + Narrow(expected));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::wstring path;
  for (const char* p = argv[1]; *p; ++p) path += static_cast<wchar_t>(*p);
  wchar_t full[MAX_PATH];
  GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  HMODULE module = LoadLibraryW(full);
  Check(module != nullptr, "LoadLibrary of the module");
  if (module == nullptr) return 1;
  using Entry = HRESULT(STDAPICALLTYPE*)();
  const auto reg =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  const auto unreg = reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  Check(reg != nullptr && unreg != nullptr, "the registration entry points are exported");
  if (reg == nullptr || unreg == nullptr) return 1;
  const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  const std::wstring control = L"CLSID\\" + GuidText(CLSID_Ocuvant);
  const std::wstring page = L"CLSID\\" + GuidText(CLSID_OcuvantPropPage);
  const std::wstring lib = L"TypeLib\\" + GuidText(LIBID_OCUVANTLib);

  Check(reg() == S_OK, "DllRegisterServer = S_OK");
  ExpectValue(control, nullptr, L"Ocuvant Control");
  ExpectValue(control + L"\\InprocServer32", nullptr, full);
  ExpectValue(control + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  ExpectValue(control + L"\\ProgID", nullptr, L"OCUVANT.OcuvantCtrl.1");
  ExpectValue(control + L"\\MiscStatus\\1", nullptr, L"197009");  // 0x30191
  ExpectValue(control + L"\\ToolboxBitmap32", nullptr, std::wstring(full) + L", 1");
  ExpectValue(control + L"\\TypeLib", nullptr, GuidText(LIBID_OCUVANTLib));
  ExpectValue(control + L"\\Version", nullptr, L"1.0");
  Check(KeyExists(control + L"\\Control"), "the class is marked as a control");
  ExpectValue(L"OCUVANT.OcuvantCtrl.1\\CLSID", nullptr, GuidText(CLSID_Ocuvant));
  ExpectValue(page, nullptr, L"Ocuvant Property Page");
  ExpectValue(page + L"\\InprocServer32", nullptr, full);
  ExpectValue(L"OCUVANT.OcuvantPropPage.1\\CLSID", nullptr, GuidText(CLSID_OcuvantPropPage));
  Check(KeyExists(lib + L"\\1.0"), "the type library 1.0 is registered");
  BSTR where = nullptr;
  Check(QueryPathOfRegTypeLib(LIBID_OCUVANTLib, 1, 0, 0x409, &where) == S_OK,
        "the registered type library has a path");
  SysFreeString(where);
  Check(KeyExists(L"Interface\\" + GuidText(DIID__DOcuvant)), "_DOcuvant is registered");

  // The type library unregistered behind the module's back: unregistering is refused and
  // leaves the classes.
  Check(UnRegisterTypeLib(LIBID_OCUVANTLib, 1, 0, 0x409, kind) == S_OK, "UnRegisterTypeLib");
  const HRESULT refused = unreg();
  char text[64];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(refused));
  Check(refused == static_cast<HRESULT>(0x80040200u),
        std::string("unregistering without the type library = 0x80040200 (got ") + text + ")");
  Check(KeyExists(control) && KeyExists(L"OCUVANT.OcuvantCtrl.1") && KeyExists(page),
        "the classes stay registered");

  Check(reg() == S_OK, "registering again = S_OK");
  Check(unreg() == S_OK, "DllUnregisterServer = S_OK");
  Check(!KeyExists(control) && !KeyExists(page), "no class left behind");
  Check(!KeyExists(L"OCUVANT.OcuvantCtrl.1") && !KeyExists(L"OCUVANT.OcuvantPropPage.1"),
        "no ProgID left behind");
  Check(!KeyExists(lib + L"\\1.0"), "no type library left behind");

  Check(reg() == S_OK, "registered for the next tests");
  std::printf("registration: %d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
