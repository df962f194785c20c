// Module state and the type library.
#include "ocx/module.h"

#include <atomic>
#include <mutex>

namespace ocuvant::ocx {

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

void SetModule(HMODULE module) {
  g_module = module;
}

HMODULE Module() {
  return g_module;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH * 4);
  return std::wstring(path, n);
}

void ObjectCreated() {
  ++g_objects;
}
void ObjectDestroyed() {
  --g_objects;
}
void LockModule(bool lock) {
  if (lock) {
    ++g_locks;
  } else {
    --g_locks;
  }
}
bool CanUnload() {
  return g_objects.load() == 0 && g_locks.load() == 0;
}

ITypeLib* TypeLibrary() {
  static std::once_flag once;
  static ITypeLib* library = nullptr;
  std::call_once(once, [] {
    if (FAILED(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library))) library = nullptr;
  });
  return library;
}

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ITypeLib* library = TypeLibrary();
  if (library == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return library->GetTypeInfoOfGuid(guid, out);
}

std::wstring LoadModuleString(UINT id) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(g_module, id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace ocuvant::ocx
