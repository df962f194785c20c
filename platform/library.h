// Dynamic library loading; a ".dll" name maps to ".so".
#pragma once

#include <string>

namespace ocuvant::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  bool Load(const std::string& path);  // unloads any previous library first
  void* Symbol(const char* name) const;
  void Unload();
  bool IsLoaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace ocuvant::platform
