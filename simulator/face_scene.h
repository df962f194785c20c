// Infrared face scenes for the virtual infrared face camera: a bright face (an ellipse
// filling its box) with two dark eyes and a mouth in front of a dark background, at a
// scripted position, size and pose. A stand-in for tests and the demo, drawn so that
// the reference face library can find it; it is not a model of real faces.
//
// Face script: steps separated by ';', each
//   "face CX CY W H [pose P] [person S] [for MS]"  (box centre, size in pixels)
//   "gone [for MS]"                                 (nobody in front of the camera)
//   "unplugged"                                     (the camera goes away for good)
// A step without "for" lasts for ever and must be the last; a final "loop" repeats the
// script. Example: "face 100 240 200 240 for 4000; face 320 250 240 300"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ocuvant::simulator {

// What tells people apart in the stand-in: feature placement relative to the face box,
// in thousandths of its width (eye spacing) or height (eye row, mouth row).
struct FacePersonTraits {
  int32_t eyeSpacing;  // 440 to 560
  int32_t eyeRow;      // 360 to 440
  int32_t mouthRow;    // 700 to 790
};
FacePersonTraits PersonTraits(uint64_t person);

struct FaceScene {
  bool present = false;
  int32_t centreX = 320, centreY = 240;
  int32_t width = 240, height = 300;  // the face box
  int32_t pose = 0;                   // features shift by pose * width / 200 pixels
  uint64_t person = 1;
  bool unplugged = false;  // the camera is gone: no more frames, the stream fails
};

// Distance in pixels between the eye centres the scene draws.
int32_t EyeDistance(const FaceScene& scene);

// Renders `scene` into a top-row-first grey image of width x height bytes; `frame`
// varies the sensor noise.
void RenderFaceScene(const FaceScene& scene, uint64_t frame, uint8_t* grey, int32_t width,
                     int32_t height);

class FaceScript {
 public:
  FaceScript() = default;  // nobody there
  static std::optional<FaceScript> Parse(const std::string& text);
  FaceScene SceneAt(uint64_t milliseconds) const;

 private:
  struct Step {
    FaceScene scene;
    uint64_t durationMs;  // 0: for ever
  };
  std::vector<Step> steps_;
  bool loop_ = false;
};

}  // namespace ocuvant::simulator
