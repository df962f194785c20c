#include "platform/paths.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace ocuvant::platform {

namespace {

std::string ReadModuleDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return "./";
  std::string path(buffer.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// Resolves "." and ".." inside a drive: as on the drive itself, nothing climbs above its root.
std::string NormaliseUnderRoot(const std::string& rest) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = rest.find('/', pos);
    if (end == std::string::npos) end = rest.size();
    const std::string part = rest.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  if (out.empty() || rest.ends_with('/')) out += '/';
  return out;
}

std::string CollapseSeparators(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  return out;
}

}  // namespace

std::string ModuleDirectory() {
  static const std::string directory = ReadModuleDirectory();
  return directory;
}

std::optional<std::string> MapPath(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return std::nullopt;
  std::string path = name;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  const bool hasDrive =
      path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])) != 0;
  if (!hasDrive) return CollapseSeparators(path);
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
  const std::string variable = std::string("OCUVANT_DRIVE_") + letter;
  const char* root = std::getenv(variable.c_str());
  if (root == nullptr || *root == '\0') return std::nullopt;
  return CollapseSeparators(std::string(root) + NormaliseUnderRoot(path.substr(2)));
}

std::string FormatLocalTime(const char* format) {
  if (format == nullptr || *format == '\0') return "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return "";
  char buffer[256];
  const size_t n = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, n);
}

}  // namespace ocuvant::platform
