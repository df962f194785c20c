#include "platform/library.h"

#include <dlfcn.h>

#include <cctype>
#include <optional>

#include "platform/paths.h"

namespace ocuvant::platform {

namespace {

// "TravexFace(32bit).dll" is looked for as "TravexFace(32bit).so".
std::string LocalLibraryName(std::string name) {
  constexpr std::string_view kDll = ".dll";
  if (name.size() >= kDll.size()) {
    const size_t start = name.size() - kDll.size();
    bool isDll = true;
    for (size_t i = 0; i < kDll.size(); ++i) {
      isDll = isDll && std::tolower(static_cast<unsigned char>(name[start + i])) == kDll[i];
    }
    if (isDll) name.replace(start, kDll.size(), ".so");
  }
  return name;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() {
  Unload();
}

bool DynamicLibrary::Load(const std::string& path) {
  Unload();
  const std::optional<std::string> mapped = MapPath(path);
  if (!mapped) return false;
  handle_ = ::dlopen(LocalLibraryName(*mapped).c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return ::dlsym(handle_, name);
}

void DynamicLibrary::Unload() {
  if (handle_ != nullptr) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace ocuvant::platform
