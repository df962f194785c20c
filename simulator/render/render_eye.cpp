// Single eye images: scene, optical blur, sensor noise.
#include <algorithm>
#include <cmath>

#include "simulator/render/eye_renderer.h"
#include "simulator/render/eye_scene.h"
#include "simulator/render/image_filters.h"
#include "simulator/render/random.h"

namespace ocuvant::sim {

double EffectiveBlur(const CaptureParams& p) {
  // A defocused eye is blurred far beyond what a focus check accepts.
  if (p.variant == EyeVariant::Defocused) return std::max(p.blurSigma, 5.0 + 0.02 * p.irisRadius);
  return p.blurSigma;
}

EyeTruth RenderEye(const Subject& subject, int eye, const CaptureParams& params, uint8_t* out,
                   int width, int height) {
  if (out == nullptr || width <= 0 || height <= 0 || width > kMaxImageSide ||
      height > kMaxImageSide) {
    return EyeTruth{};
  }
  const EyeGeometry g = MakeEyeGeometry(subject, eye, params, width / 2.0, height / 2.0);
  const GreyView view{out, width, height, width};
  RenderEyeScene(subject, g, view, 0, width);
  BlurBand(view, 0, width, EffectiveBlur(params));
  AddSensorNoise(view, 0, width, params.noiseSigma, Combine(params.captureSeed, subject.seed()));
  return TruthOf(g, params.rotationDegrees);
}

CaptureParams GoodCapture(int width, int height, uint64_t captureSeed) {
  Rng rng(Combine(captureSeed, 0x600DCA9));
  CaptureParams p;
  p.captureSeed = captureSeed;
  const bool small = width == 960 && height == 960;
  const bool large = width == 1280 && (height == 960 || height == 1080);
  double lo = 100, hi = 135;
  if (small) {
    lo = 70, hi = 95;
  } else if (!large) {
    double scale = std::min(width, height) / 960.0;
    lo = 70 * scale, hi = 95 * scale;
  }
  p.irisRadius = rng.Uniform(lo, hi);
  p.centerX = width / 2.0 + rng.Uniform(-0.05, 0.05) * width;
  p.centerY = height / 2.0 + rng.Uniform(-0.05, 0.05) * height;
  p.pupilRatio = rng.Uniform(0.3, 0.52);
  // Small eye images: keep the pupil radius where their search ranges reach.
  if (small) p.pupilRatio = std::min(p.pupilRatio, 44.0 / p.irisRadius);
  p.rotationDegrees = rng.Uniform(-6, 6);
  p.openness = rng.Uniform(0.85, 1.0);
  p.blurSigma = rng.Uniform(0.5, 0.9);
  p.gazeX = rng.Uniform(-0.04, 0.04);
  p.gazeY = rng.Uniform(-0.04, 0.04);
  p.noiseSigma = rng.Uniform(1.5, 2.5);
  return p;
}

}  // namespace ocuvant::sim
