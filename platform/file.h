// File creation and writing, directory creation (names pass through MapPath).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ocuvant::platform {

// Creates (truncates) the file and writes all bytes; false on any failure.
bool WriteWholeFile(const std::string& name, const void* data, size_t size);
bool ReadWholeFile(const std::string& name, std::string* out);

// Sequential writer for files built in pieces.
class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  bool Create(const std::string& name);
  bool Write(const void* data, size_t size);
  void Close();
  bool IsOpen() const;

 private:
  int fd_ = -1;
};

// Creates one directory; true if it exists afterwards.
bool CreateDirectory(const std::string& name);
bool DirectoryExists(const std::string& name);
bool FileExists(const std::string& name);

}  // namespace ocuvant::platform
