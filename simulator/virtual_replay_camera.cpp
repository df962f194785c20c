#include "simulator/virtual_replay_camera.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace ocuvant::simulator {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Reads exactly `size` bytes; false on a short or failed read.
bool ReadExactly(const std::string& path, uint8_t* out, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const size_t done = std::fread(out, 1, size, file);
  std::fclose(file);
  return done == size;
}

size_t FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<size_t>(st.st_size);
}

}  // namespace

VirtualReplayCamera::VirtualReplayCamera(const std::string& directory, double framesPerSecond,
                                         bool delivers,
                                         std::shared_ptr<VirtualCameraControls> controls)
    : VirtualCameraStream(VirtualStreamFormat{kWidth, kHeight, framesPerSecond, delivers},
                          std::move(controls)),
      directory_(directory) {}

VirtualReplayCamera::~VirtualReplayCamera() {
  StopStream();
}

std::vector<std::string> VirtualReplayCamera::ListFrames(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const size_t size = FileSize(directory + "/" + name);
    if (size == kReplayGreyFrameBytes || size == kReplayBgrFrameBytes) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (std::string& n : names) n = directory + "/" + n;
  return names;
}

void VirtualReplayCamera::GreyToCameraFrame(const uint8_t* grey, uint8_t* bgr) {
  for (int stored = 0; stored < kHeight; ++stored) {
    const uint8_t* src = grey + static_cast<size_t>(kHeight - 1 - stored) * kWidth;
    uint8_t* dst = bgr + static_cast<size_t>(stored) * kWidth * 3;
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t v = src[kWidth - 1 - x];
      dst[3 * x] = v;
      dst[3 * x + 1] = v;
      dst[3 * x + 2] = v;
    }
  }
}

bool VirtualReplayCamera::Prepare() {
  files_ = ListFrames(directory_);
  grey_.assign(kReplayGreyFrameBytes, 0);
  return !files_.empty();
}

bool VirtualReplayCamera::RenderFrame(uint64_t index, uint8_t* bgr) {
  const std::string& path = files_[index % files_.size()];
  // The size decides the kind; a file that changed since the listing is skipped.
  const size_t size = FileSize(path);
  if (size == kReplayBgrFrameBytes) return ReadExactly(path, bgr, kReplayBgrFrameBytes);
  if (size != kReplayGreyFrameBytes || !ReadExactly(path, grey_.data(), size)) return false;
  GreyToCameraFrame(grey_.data(), bgr);
  return true;
}

}  // namespace ocuvant::simulator
