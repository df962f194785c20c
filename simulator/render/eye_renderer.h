// Synthetic near-infrared eye renderer: seeded subjects rendered per capture.
// Same seed = same person (same irises); each capture adds new sensor noise,
// pupil size, rotation, position, eyelid opening and focus.
#pragma once

#include <cstdint>
#include <vector>

namespace ocuvant::sim {

// Ground truth of one rendered eye, in output-image pixels (pixel (x, y) has
// its centre at x, y).
struct EyeTruth {
  double pupilX = 0, pupilY = 0, pupilRadius = 0;
  double irisX = 0, irisY = 0, irisRadius = 0;
  double rotationDegrees = 0;  // iris texture rotation applied in this capture
  bool eyePresent = false;     // false for closed eyes and no-eye variants
  // Eyelid apexes (rows of the upper and lower lid margins above and below
  // the iris centre); equal when the eye is shut.
  double upperLidY = 0, lowerLidY = 0;
};

enum class EyeVariant : int {
  Normal = 0,
  Defocused,  // strong blur: must fail focus checks
  Closed,     // eyelids shut
  NoEye,      // skin only
};

// What changes from one capture to the next.
struct CaptureParams {
  uint64_t captureSeed = 1;  // sensor noise and small random variations
  double irisRadius = 110;   // pixels in the output image
  double centerX = -1;       // iris centre; < 0 means image centre
  double centerY = -1;
  double pupilRatio = 0.40;     // pupil radius / iris radius
  double rotationDegrees = 0;   // eye rotation (texture angle), see below
  double openness = 1.0;        // 1 = lids well clear of the iris, 0 = shut
  double blurSigma = 0.6;       // optical blur, pixels
  double gazeX = 0, gazeY = 0;  // pupil offset from iris centre, fraction of iris radius
  double noiseSigma = 2.0;      // sensor noise, grey levels
  bool illuminatorOn = false;   // brighter scene and a second glint
  EyeVariant variant = EyeVariant::Normal;
};
// Rotation sign: a texture feature seen at image angle a (atan2(y - py, x - px),
// rows growing downward, so angles grow clockwise on screen) at rotation 0 is
// seen at a + rotationDegrees.

// One person: both irises (left and right differ), skin, lashes and lid shape,
// built once from the seed; rendering only reads it, so one Subject may be
// rendered from several threads at once.
class Subject {
 public:
  explicit Subject(uint64_t seed);
  uint64_t seed() const { return seed_; }

  // Per-eye traits (eye 0 left, 1 right).
  struct EyeTraits {
    double irisLevel;       // mean iris grey level
    double pupilLevel;      // pupil grey level
    double scleraLevel;     // sclera grey level next to the iris
    double upperApexShift;  // lid apex shift, fraction of the iris radius (toward the nose > 0)
    double lowerApexShift;
  };
  const EyeTraits& traits(int eye) const { return traits_[eye & 1]; }
  double skinLevel() const { return skinLevel_; }

  // Texture tables (read by the renderer).
  static constexpr int kIrisAngles = 1024;  // angular cells of the iris table (power of two)
  static constexpr int kIrisBands = 128;    // radial cells, pupil border to limbus
  static constexpr int kSkinSize = 512;     // periodic skin tile, kSkinSize^2
  static constexpr int kLashAngles = 1024;  // cells along the lid margin
  static constexpr int kLashRows = 64;      // cells outward from the margin
  // Iris deviation from the iris level, grey levels x 16, [band][angle].
  const int16_t* irisTable(int eye) const { return iris_[eye & 1].data(); }
  // Skin deviation from the skin level, grey levels x 16.
  const int16_t* skinTile() const { return skin_.data(); }
  // Lash darkness 0-255, [row][cell]; upper lid lashes of eye 0 and 1, lower lid lashes.
  const uint8_t* lashTable(int eye, bool upper) const {
    return lashes_[(eye & 1) * 2 + (upper ? 0 : 1)].data();
  }

 private:
  uint64_t seed_;
  double skinLevel_ = 0;
  EyeTraits traits_[2] = {};
  std::vector<int16_t> iris_[2];
  std::vector<int16_t> skin_;
  std::vector<uint8_t> lashes_[4];
};

// Renders one eye (0 left, 1 right) of `subject` into `out` (8-bit grey, rows
// top to bottom, stride == width). Allocates nothing per call beyond the stack.
// Width and height are at most kMaxImageSide; other sizes render nothing and
// return a truth with eyePresent false and zero radii.
EyeTruth RenderEye(const Subject& subject, int eye, const CaptureParams& params, uint8_t* out,
                   int width, int height);

constexpr int kMaxImageSide = 4096;

// Typical randomised capture of a well-placed, open, focused eye for an eye
// image of the given size (960 x 960: iris radius 65-95; 1280 x 960 and
// 1280 x 1080: 100-135; other sizes scale from the smaller side). The same
// captureSeed gives the same parameters.
CaptureParams GoodCapture(int width, int height, uint64_t captureSeed);

// Binocular camera frame: both eyes of one subject side by side, as the
// camera delivers them (not mirrored). Coordinates of params and truth are
// those of the frame after mirroring each row (the left eye appears in the
// right half there, as in the eye images cut from it); a centre < 0 places
// the left eye at (0.75 width, height / 2) and the right eye at
// (0.25 width, height / 2) of that mirrored frame.
enum class FrameFormat : int {
  Bgr24BottomUp = 0,  // 3 bytes per pixel (B = G = R), bottom row first
  Grey = 1,           // 1 byte per pixel, top row first
};

struct BinocularTruth {
  EyeTruth eye[2];  // [0] left, [1] right; mirrored-frame coordinates
};

// `out` holds width * height * (3 for Bgr24BottomUp, 1 for Grey) bytes.
BinocularTruth RenderBinocularFrame(const Subject& subject, const CaptureParams& left,
                                    const CaptureParams& right, uint8_t* out, int width, int height,
                                    FrameFormat format);

}  // namespace ocuvant::sim
