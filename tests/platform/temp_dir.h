// A fresh directory under /tmp for one test, removed with its contents afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace ocuvant::platform {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ocuvant-platform-XXXXXX");
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace ocuvant::platform
