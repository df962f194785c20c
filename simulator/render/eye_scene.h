// The noise-free, unblurred scene around one eye: skin, lids with lashes,
// sclera, iris and pupil with glints. Shared by single eye images and
// binocular frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simulator/render/eye_renderer.h"

namespace ocuvant::sim {

// Non-owning 8-bit image view; the stride may be negative (bottom-up storage).
struct GreyView {
  uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  uint8_t* Row(int y) const { return data + static_cast<ptrdiff_t>(y) * stride; }
};

// Everything one capture of one eye needs, in image pixels.
struct EyeGeometry {
  EyeVariant variant = EyeVariant::Normal;
  int eye = 0;
  double cx = 0, cy = 0, R = 0;   // iris circle
  double px = 0, py = 0, rp = 0;  // pupil circle
  double rotationCycles = 0;      // texture rotation, turns
  double nasal = 1;               // +1 when the nose lies toward +x
  bool open = true;               // the lids leave a gap
  double upperX = 0, upperY = 0;  // upper lid apex
  double lowerX = 0, lowerY = 0;  // lower lid apex
  double leftX = 0, leftY = 0;    // corner toward -x
  double rightX = 0, rightY = 0;  // corner toward +x
  int glints = 1;
  double glintX[2] = {}, glintY[2] = {};
  double glintR = 2;
  double gain = 1;                // illumination gain
  double lightX = 0, lightY = 0;  // illumination centre and falloff radius
  double lightRadius = 1;
  int skinOffsetX = 0, skinOffsetY = 0;  // where pixel (0, 0) lies on the skin tile
  double irisLevel = 110, pupilLevel = 28, scleraLevel = 190, skinLevel = 165;
};

// Geometry of a capture; (defaultX, defaultY) is the iris centre used when the
// parameters give none.
EyeGeometry MakeEyeGeometry(const Subject& subject, int eye, const CaptureParams& params,
                            double defaultX, double defaultY);

EyeTruth TruthOf(const EyeGeometry& g, double rotationDegrees);

// Optical blur of a capture (the defocused variant raises it).
double EffectiveBlur(const CaptureParams& params);

// Writes the scene into columns x0 to x1 - 1 of every row of `view`.
void RenderEyeScene(const Subject& subject, const EyeGeometry& g, const GreyView& view, int x0,
                    int x1);

}  // namespace ocuvant::sim
