#include "platform/wave_resource_win.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace ocuvant::platform {

namespace {

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

struct Search {
  const uint8_t* wav;
  size_t size;
  uint16_t found;
};

BOOL CALLBACK Compare(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (!IS_INTRESOURCE(name)) return TRUE;
  HRSRC info = FindResourceW(module, name, type);
  HGLOBAL data = info != nullptr ? LoadResource(module, info) : nullptr;
  const void* bytes = data != nullptr ? LockResource(data) : nullptr;
  if (bytes != nullptr && SizeofResource(module, info) == s->size &&
      std::memcmp(bytes, s->wav, s->size) == 0) {
    s->found = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name));
    return FALSE;
  }
  return TRUE;
}

}  // namespace

uint16_t FindWaveResource(const uint8_t* wav, size_t size) {
  static std::mutex mutex;
  static std::vector<std::pair<const uint8_t*, uint16_t>> known;
  if (wav == nullptr || size == 0) return 0;
  std::lock_guard lock(mutex);
  for (const auto& [image, id] : known) {
    if (image == wav) return id;
  }
  Search s{wav, size, 0};
  EnumResourceNamesW(ThisModule(), L"WAVE", Compare, reinterpret_cast<LONG_PTR>(&s));
  known.emplace_back(wav, s.found);
  return s.found;
}

}  // namespace ocuvant::platform
