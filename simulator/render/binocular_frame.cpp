// Binocular camera frames: both eyes of one subject in one frame, delivered
// the way the camera does (rows bottom first, 24-bit, not mirrored), or as a
// top-down grey camera image.
#include <algorithm>
#include <cstring>

#include "simulator/render/eye_renderer.h"
#include "simulator/render/eye_scene.h"
#include "simulator/render/image_filters.h"
#include "simulator/render/random.h"

namespace ocuvant::sim {
namespace {

// Both eyes share one face: skin tile and lighting run across the frame.
EyeGeometry FrameEye(const Subject& subject, int eye, const CaptureParams& p, int width,
                     int height) {
  EyeGeometry g = MakeEyeGeometry(subject, eye, p, width * (eye == 0 ? 0.75 : 0.25), height / 2.0);
  g.skinOffsetX = 0;
  g.skinOffsetY = 0;
  g.lightX = width / 2.0;
  g.lightY = height / 2.0;
  g.lightRadius = 0.75 * width;
  return g;
}

}  // namespace

BinocularTruth RenderBinocularFrame(const Subject& subject, const CaptureParams& left,
                                    const CaptureParams& right, uint8_t* out, int width, int height,
                                    FrameFormat format) {
  BinocularTruth truth;
  if (out == nullptr || width < 2 || height <= 0 || width > kMaxImageSide ||
      height > kMaxImageSide) {
    return truth;
  }
  const bool bgr = format == FrameFormat::Bgr24BottomUp;
  const size_t plane = static_cast<size_t>(width) * height;
  // The mirrored grey frame is rendered bottom-up into the last plane of a
  // 24-bit buffer, so that expanding it row by row (bottom row first) never
  // overwrites a row still to be read; a grey frame is rendered in place.
  GreyView view{out, width, height, width};
  if (bgr) view = GreyView{out + 3 * plane - width, width, height, -static_cast<ptrdiff_t>(width)};

  const int half = width / 2;
  const EyeGeometry right0 = FrameEye(subject, 1, right, width, height);
  const EyeGeometry left0 = FrameEye(subject, 0, left, width, height);
  RenderEyeScene(subject, right0, view, 0, half);
  RenderEyeScene(subject, left0, view, half, width);
  BlurBand(view, 0, half, EffectiveBlur(right));
  BlurBand(view, half, width, EffectiveBlur(left));
  AddSensorNoise(view, 0, half, right.noiseSigma, Combine(right.captureSeed, subject.seed()));
  AddSensorNoise(view, half, width, left.noiseSigma, Combine(left.captureSeed, subject.seed()));
  truth.eye[0] = TruthOf(left0, left.rotationDegrees);
  truth.eye[1] = TruthOf(right0, right.rotationDegrees);

  uint8_t line[kMaxImageSide];
  if (!bgr) {
    // Undo the mirroring: the camera delivers the unmirrored image.
    for (int y = 0; y < height; ++y) std::reverse(view.Row(y), view.Row(y) + width);
    return truth;
  }
  for (int stored = 0; stored < height; ++stored) {
    // Stored row `stored` (bottom first) is mirrored-frame row height - 1 - stored.
    std::memcpy(line, view.Row(height - 1 - stored), static_cast<size_t>(width));
    uint8_t* dst = out + static_cast<size_t>(stored) * 3 * width;
    for (int x = 0; x < width; ++x) {
      const uint8_t v = line[width - 1 - x];
      dst[3 * x] = v;
      dst[3 * x + 1] = v;
      dst[3 * x + 2] = v;
    }
  }
  return truth;
}

}  // namespace ocuvant::sim
