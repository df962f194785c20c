// Files through the Win32 API; names are UTF-8 and used as they stand (backslashes,
// drive letters), as on the machine the control runs on.
#include <windows.h>
// windows.h names CreateDirectoryW this way; the platform function keeps its own name.
#undef CreateDirectory

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/utf16_win.h"

namespace ocuvant::platform {

namespace {

HANDLE CreateForWriting(const std::string& name) {
  const std::optional<std::string> path = MapPath(name);
  if (!path) return INVALID_HANDLE_VALUE;
  return CreateFileW(Utf8ToWide(*path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

DWORD Attributes(const std::string& name) {
  const std::optional<std::string> path = MapPath(name);
  if (!path) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(Utf8ToWide(*path).c_str());
}

}  // namespace

bool WriteWholeFile(const std::string& name, const void* data, size_t size) {
  if (data == nullptr && size > 0) return false;
  const HANDLE file = CreateForWriting(name);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, data, size);
  const bool closed = CloseHandle(file) != 0;
  return written && closed;
}

bool ReadWholeFile(const std::string& name, std::string* out) {
  if (out == nullptr) return false;
  const std::optional<std::string> path = MapPath(name);
  if (!path) return false;
  const HANDLE file = CreateFileW(Utf8ToWide(*path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string data;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) ok = false;
    if (!ok || n == 0) break;
    data.append(buffer, n);
  }
  CloseHandle(file);
  if (ok) *out = std::move(data);
  return ok;
}

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() {
  Close();
}

// fd_ holds the file HANDLE's value (handles fit in an int on every Windows).
bool OutputFile::Create(const std::string& name) {
  Close();
  const HANDLE file = CreateForWriting(name);
  if (file == INVALID_HANDLE_VALUE) return false;
  fd_ = static_cast<int>(reinterpret_cast<intptr_t>(file));
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (fd_ < 0 || (data == nullptr && size > 0)) return false;
  return WriteAll(reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd_)), data, size);
}

void OutputFile::Close() {
  if (fd_ >= 0) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd_)));
  fd_ = -1;
}

bool OutputFile::IsOpen() const {
  return fd_ >= 0;
}

bool CreateDirectory(const std::string& name) {
  const std::optional<std::string> path = MapPath(name);
  if (!path) return false;
  if (CreateDirectoryW(Utf8ToWide(*path).c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(name);
}

bool DirectoryExists(const std::string& name) {
  const DWORD a = Attributes(name);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& name) {
  const DWORD a = Attributes(name);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace ocuvant::platform
