#include "support/dump_names.h"

#include <initializer_list>

namespace ocuvant::support {
namespace {

std::string_view SideName(int side) {
  return side == 0 ? "left" : "right";
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string name;
  for (std::string_view p : parts) name += p;
  return name;
}

}  // namespace

std::string EnrollIrisImageName(const std::string& dir, int side, std::string_view kind) {
  return Join({dir, "enroll_", SideName(side), "_irisimage_", kind, ".bmp"});
}

std::string EnrollRawIrisImageName(const std::string& dir, int side, std::string_view kind,
                                   int step) {
  const std::string s = std::to_string(step);
  return Join({dir, "enroll_", SideName(side), "_rawirisimage_", kind, "(step", s, ").raw"});
}

std::string EnrollCachedRawIrisImageName(const std::string& dir, int side, std::string_view kind,
                                         int index, int step) {
  const std::string i = std::to_string(index);
  const std::string s = std::to_string(step);
  return Join(
      {dir, "enroll_", SideName(side), "_rawirisimage_", kind, "_", i, "(step", s, ").raw"});
}

std::string MatchIrisImageName(const std::string& dir) {
  return dir + "isoiec197946_irisimage.bmp";
}

std::string MatchRawIrisImageName(const std::string& dir) {
  return dir + "isoiec197946_rawirisimage.raw";
}

std::string MatchTimeoutRawIrisImageName(const std::string& dir, int side, std::string_view kind,
                                         int resultCode) {
  const std::string code = std::to_string(resultCode);
  return Join({dir, "match_", SideName(side), "_rawirisimage_", kind, "_", code,
               side == 0 ? "_0.raw" : "_1.raw"});
}

std::string RealtimeCaptureDirName(const std::string& dir) {
  return dir + "\\CaptureIris";
}

std::string RealtimeCaptureName(const std::string& dir, std::string_view localTime,
                                uint32_t counter) {
  const std::string n = std::to_string(counter);
  return Join({dir, "\\CaptureIris\\both[", localTime, "]", n, ".raw"});
}

std::string IrisFrameRawName(const std::string& dir) {
  return dir + "\\iris.raw";
}

std::string Q5MatchDatabaseName() {
  return "d:\\q5_match.iris";
}

std::string EnrollBackgroundPhotoName(const std::string& dir) {
  return dir + "\\CaptureForIrisEnroll.bmp";
}

std::string MatchBackgroundPhotoName(const std::string& dir) {
  return dir + "\\CaptureForIrisMatch.bmp";
}

}  // namespace ocuvant::support
