#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"

namespace ocuvant::platform {

namespace {

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int CreateForWriting(const std::string& name) {
  const std::optional<std::string> path = MapPath(name);
  if (!path) return -1;
  int fd;
  do {
    fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool StatMapped(const std::string& name, struct stat* st) {
  const std::optional<std::string> path = MapPath(name);
  return path && ::stat(path->c_str(), st) == 0;
}

}  // namespace

bool WriteWholeFile(const std::string& name, const void* data, size_t size) {
  if (data == nullptr && size > 0) return false;
  const int fd = CreateForWriting(name);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, data, size);
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

bool ReadWholeFile(const std::string& name, std::string* out) {
  if (out == nullptr) return false;
  const std::optional<std::string> path = MapPath(name);
  if (!path) return false;
  const int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string data;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (ok) *out = std::move(data);
  return ok;
}

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() {
  Close();
}

bool OutputFile::Create(const std::string& name) {
  Close();
  fd_ = CreateForWriting(name);
  return fd_ >= 0;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (fd_ < 0 || (data == nullptr && size > 0)) return false;
  return WriteAll(fd_, data, size);
}

void OutputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool OutputFile::IsOpen() const {
  return fd_ >= 0;
}

bool CreateDirectory(const std::string& name) {
  const std::optional<std::string> path = MapPath(name);
  if (!path) return false;
  if (::mkdir(path->c_str(), 0777) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(path->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& name) {
  struct stat st {};
  return StatMapped(name, &st) && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& name) {
  struct stat st {};
  return StatMapped(name, &st) && !S_ISDIR(st.st_mode);
}

}  // namespace ocuvant::platform
