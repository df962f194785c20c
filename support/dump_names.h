// Names of every file the control writes. `dir` is the module directory with its
// trailing separator; the names keep the Windows separators of their patterns and
// are mapped to the local file system by the writers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ocuvant::support {

// Side of the eye in a name: 0 "left", 1 "right" (EyeSide order). `kind` is the
// template kind's name: "small", "big" or "Q5".

// "<dir>enroll_<side>_irisimage_<kind>.bmp": the engine iris image of an enrollment.
std::string EnrollIrisImageName(const std::string& dir, int side, std::string_view kind);

// "<dir>enroll_<side>_rawirisimage_<kind>(step<step>).raw": the enrolled eye image.
std::string EnrollRawIrisImageName(const std::string& dir, int side, std::string_view kind,
                                   int step);

// "<dir>enroll_<side>_rawirisimage_<kind>_<index>(step<step>).raw": cached image 0 to 2.
std::string EnrollCachedRawIrisImageName(const std::string& dir, int side, std::string_view kind,
                                         int index, int step);

// "<dir>isoiec197946_irisimage.bmp" and "<dir>isoiec197946_rawirisimage.raw": the images of
// the last match (engine iris image and eye image).
std::string MatchIrisImageName(const std::string& dir);
std::string MatchRawIrisImageName(const std::string& dir);

// "<dir>match_<side>_rawirisimage_<kind>_<code>_<side number>.raw": an eye image at a
// match time-out with its engine result code.
std::string MatchTimeoutRawIrisImageName(const std::string& dir, int side, std::string_view kind,
                                         int resultCode);

// "<dir>\CaptureIris": the directory of the real-time frame dumps, and
// "<dir>\CaptureIris\both[<time>]<counter>.raw", time formatted with kRealtimeTimeFormat.
inline constexpr const char* kRealtimeTimeFormat = "%Y-%m-%d_%H-%M-%S";
std::string RealtimeCaptureDirName(const std::string& dir);
std::string RealtimeCaptureName(const std::string& dir, std::string_view localTime,
                                uint32_t counter);

// "<dir>\iris.raw": the last grey iris frame whose frame result was positive.
std::string IrisFrameRawName(const std::string& dir);

// "d:\q5_match.iris": the copy of the Q5 database given to a match.
std::string Q5MatchDatabaseName();

// "<dir>\CaptureForIrisEnroll.bmp" and "<dir>\CaptureForIrisMatch.bmp": background photos.
std::string EnrollBackgroundPhotoName(const std::string& dir);
std::string MatchBackgroundPhotoName(const std::string& dir);

}  // namespace ocuvant::support
