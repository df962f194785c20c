// Dynamic libraries through LoadLibraryW; ".dll" names are loaded as they stand.
#include <windows.h>

#include "platform/library.h"
#include "platform/paths.h"
#include "platform/utf16_win.h"

namespace ocuvant::platform {

DynamicLibrary::~DynamicLibrary() {
  Unload();
}

bool DynamicLibrary::Load(const std::string& path) {
  Unload();
  const std::optional<std::string> mapped = MapPath(path);
  if (!mapped) return false;
  // No "cannot find the DLL" box from the system: a missing library is an ordinary failure.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  handle_ = reinterpret_cast<void*>(LoadLibraryW(Utf8ToWide(*mapped).c_str()));
  SetErrorMode(previous);
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Unload() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace ocuvant::platform
