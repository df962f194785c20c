// Binding to the external face library "TravexFace(32bit).dll" (".so" here), loaded at
// run time from a directory (the host program's). It holds the module, its entry points
// and the buffers handed to them, all allocated once with the binding.
//
// Binding states: Unloaded --Load ok--> Loaded; any --Load fails--> Unloaded;
// Loaded --Load--> Loaded (the module is loaded again and initialised again).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/library.h"

namespace ocuvant::support {

// Entry points of the face library (C linkage, 32-bit int results).
extern "C" {
using TravexFaceInitFn = int32_t (*)();
// (grey image, rows 480, columns 640, template out, detail record out, extra value out):
// non-zero when a template was made and the detail record filled.
using TravexFaceMakeTemplateWithDetailFn = int32_t (*)(unsigned char* image, int32_t rows,
                                                       int32_t columns, unsigned char* templ,
                                                       int32_t* detail, int32_t* extra);
// (five templates back to back, 5, enrolled record out): non-zero when enrolled.
using TravexFaceEnrollFn = int32_t (*)(unsigned char* templates, int32_t count,
                                       unsigned char* record);
}

inline constexpr char kTravexFaceLibraryName[] = "TravexFace(32bit).dll";
inline constexpr char kTravexFaceInit[] = "TravexFaceInit";
inline constexpr char kTravexFaceMakeTemplateWithDetail[] = "TravexFaceMakeTemplateWithDetail";
inline constexpr char kTravexFaceEnroll[] = "TravexFaceEnroll";

inline constexpr size_t kFaceTemplateSize = 6916;
inline constexpr int32_t kFaceTemplateSlots = 5;
inline constexpr size_t kFaceRecordSize = 27668;
inline constexpr size_t kFacePoseOffset = 1728;  // signed pose byte inside a template
inline constexpr int32_t kFaceImageRows = 480;
inline constexpr int32_t kFaceImageColumns = 640;

// Load results.
inline constexpr int32_t kFaceLibraryMissing = -51;
inline constexpr int32_t kFaceEnrollMissing = -52;
inline constexpr int32_t kFaceMakeTemplateMissing = -53;

// Template check results.
enum FaceCheck : int32_t {
  FaceGood = 0,     // a template in range
  FaceTooFar = 1,   // landmarks closer than 95 pixels
  FaceBadPose = 2,  // pose byte outside -15 to 15
  FaceNone = 3,     // no template (no usable face, or no library)
};

inline constexpr int64_t kFaceMinLandmarkDistance = 95;
inline constexpr int32_t kFaceMaxPose = 15;

// The detail record the template maker fills: nine 32-bit integers.
struct FaceDetail {
  int32_t values[9] = {};
  int32_t x1() const { return values[0]; }
  int32_t y1() const { return values[1]; }
  int32_t x2() const { return values[2]; }
  int32_t y2() const { return values[3]; }
  // values[4] is the library's own.
  int32_t ax() const { return values[5]; }
  int32_t ay() const { return values[6]; }
  int32_t bx() const { return values[7]; }
  int32_t by() const { return values[8]; }
};

// Too far: the squared distance of the two landmarks is below 95 * 95 (exact for any
// 32-bit coordinates).
bool LandmarksTooClose(const FaceDetail& detail);

class TravexFace {
 public:
  TravexFace();
  ~TravexFace();
  TravexFace(const TravexFace&) = delete;
  TravexFace& operator=(const TravexFace&) = delete;

  // Loads the library from `directory` + name (the directory ends with its separator),
  // calls "TravexFaceInit" when present and shows "Init return:%d" in a message box.
  // 1, or -51 (no module), -52 (no enroller), -53 (no template maker).
  int32_t Load(const std::string& directory);
  bool IsLoaded() const { return loaded_; }

  // Makes a template from a 640 x 480 grey image (top row first) and, when there is
  // one, copies it into `slot` (0 to 4) and checks it. FaceNone without a library or
  // for a slot out of range.
  FaceCheck CheckTemplate(unsigned char* grey, int32_t slot);
  // Enrolls the five slots; true when the library accepted them.
  bool Enroll();

  const FaceDetail& Detail() const { return detail_; }
  const unsigned char* Template() const { return template_.get(); }
  const unsigned char* Slot(int32_t slot) const {
    return slots_.get() + static_cast<size_t>(slot) * kFaceTemplateSize;
  }
  const unsigned char* Record() const { return record_.get(); }

 private:
  platform::DynamicLibrary module_;
  std::string directory_;
  bool loaded_ = false;
  TravexFaceMakeTemplateWithDetailFn makeTemplate_ = nullptr;
  TravexFaceEnrollFn enroll_ = nullptr;
  std::unique_ptr<unsigned char[]> template_;
  std::unique_ptr<unsigned char[]> slots_;
  std::unique_ptr<unsigned char[]> record_;
  FaceDetail detail_;
  int32_t extra_ = 0;
};

}  // namespace ocuvant::support
