// Paths on Windows: the module directory is that of the host process's executable;
// names are real Windows paths and pass through unchanged.
#include <windows.h>

#include <ctime>
#include <vector>

#include "platform/paths.h"
#include "platform/utf16_win.h"

namespace ocuvant::platform {

namespace {

std::string ReadModuleDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return ".\\";
    if (n < buffer.size()) {
      const std::wstring path(buffer.data(), n);
      const size_t slash = path.find_last_of(L"\\/");
      return slash == std::wstring::npos ? ".\\" : WideToUtf8(path.substr(0, slash + 1));
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string ModuleDirectory() {
  static const std::string directory = ReadModuleDirectory();
  return directory;
}

std::optional<std::string> MapPath(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return std::nullopt;
  return name;
}

std::string FormatLocalTime(const char* format) {
  if (format == nullptr || *format == '\0') return "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_s(&local, &now) != 0) return "";
  char buffer[256];
  const size_t n = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, n);
}

}  // namespace ocuvant::platform
