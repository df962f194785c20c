// Camera frames written to a temporary folder for the replaying virtual iris camera:
// both eyes of chosen simulated people, optionally with an eye missing or a wide pupil.
#pragma once

#include <cstdint>
#include <string>

#include "simulator/render/eye_renderer.h"

namespace ocuvant::testing {

struct FrameSpec {
  uint64_t seed = 1;  // the person
  bool leftPresent = true, rightPresent = true;
  double pupilRatio = 0;  // > 0: both pupils at this ratio of the iris radius
};

// A fresh, empty folder under the system's temporary directory; removed with Remove.
class ReplayFolder {
 public:
  explicit ReplayFolder(const std::string& name);
  ~ReplayFolder();
  const std::string& path() const { return path_; }
  // Writes frame number `n` (files play in name order).
  void Write(int n, const FrameSpec& spec);

 private:
  std::string path_;
};

}  // namespace ocuvant::testing
