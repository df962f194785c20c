#include "tests/workflows/replay_frames.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "simulator/virtual_iris_camera.h"

namespace ocuvant::testing {

ReplayFolder::ReplayFolder(const std::string& name) {
  path_ = (std::filesystem::temp_directory_path() / ("ocuvant_workflows_" + name)).string();
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ReplayFolder::~ReplayFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void ReplayFolder::Write(int n, const FrameSpec& spec) {
  sim::CaptureParams left, right;
  simulator::VirtualIrisCamera::ParamsFor(simulator::SubjectAction::PresentLooking, spec.seed,
                                          static_cast<uint64_t>(n), false, &left, &right);
  if (!spec.leftPresent) left.variant = sim::EyeVariant::NoEye;
  if (!spec.rightPresent) right.variant = sim::EyeVariant::NoEye;
  if (spec.pupilRatio > 0) left.pupilRatio = right.pupilRatio = spec.pupilRatio;
  std::vector<uint8_t> frame(1920u * 1080u * 3u);
  const sim::Subject subject(spec.seed);
  sim::RenderBinocularFrame(subject, left, right, frame.data(), 1920, 1080,
                            sim::FrameFormat::Bgr24BottomUp);
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%03d.bgr", n);
  std::ofstream out(path_ + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(frame.data()),
            static_cast<std::streamsize>(frame.size()));
}

}  // namespace ocuvant::testing
