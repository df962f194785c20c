// Per-pixel evaluation of the eye scene. The iris texture is looked up in the
// subject's polar table through the rubber-sheet map: each texture point keeps
// its angle and its fraction of the way from the pupil border to the limbus, so
// the texture stretches with the pupil and follows a decentred pupil.
#include "simulator/render/eye_scene.h"

#include <algorithm>
#include <cmath>

#include "simulator/render/random.h"

namespace ocuvant::sim {
namespace {

constexpr double kPi = 3.141592653589793;

// atan2 to about 1e-5 rad from basic arithmetic only, so results do not
// depend on the math library.
double Atan2(double y, double x) {
  double ax = std::fabs(x), ay = std::fabs(y);
  double mx = std::max(ax, ay), mn = std::min(ax, ay);
  if (mx == 0) return 0;
  double a = mn / mx, s = a * a;
  double r =
      ((((-0.0117212 * s + 0.05265332) * s - 0.11643287) * s + 0.19354346) * s - 0.33262347) * s *
          a +
      0.99997726 * a;
  if (ay > ax) r = kPi / 2 - r;
  if (x < 0) r = kPi - r;
  return y < 0 ? -r : r;
}

double Clamp01(double v) {
  return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// Lid curves at one column: position along the lid (-1..1 corner to corner)
// and the margin rows of the upper and lower lid.
struct LidColumn {
  double su, sl;  // lid positions of the upper and lower lid
  double yU, yL;  // margin rows
  bool inside;    // between the corners
};

LidColumn LidAt(const EyeGeometry& g, double x) {
  LidColumn c{};
  double su =
      x < g.upperX ? (x - g.upperX) / (g.upperX - g.leftX) : (x - g.upperX) / (g.rightX - g.upperX);
  double sl =
      x < g.lowerX ? (x - g.lowerX) / (g.lowerX - g.leftX) : (x - g.lowerX) / (g.rightX - g.lowerX);
  double cornerU = x < g.upperX ? g.leftY : g.rightY;
  double cornerL = x < g.lowerX ? g.leftY : g.rightY;
  c.su = su;
  c.sl = sl;
  c.inside = std::fabs(su) < 1 && std::fabs(sl) < 1;
  c.yU = g.upperY + (cornerU - g.upperY) * su * su;
  c.yL = g.lowerY + (cornerL - g.lowerY) * sl * sl * std::sqrt(std::fabs(sl));
  if (c.yL < c.yU) c.yL = c.yU;
  return c;
}

// 1 at 0, falling to 0 beyond about `width`; cheap bell.
double Bell(double d, double width) {
  double q = d / width;
  return 1.0 / (1.0 + q * q * q * q);
}

double LashDarkness(const uint8_t* table, double s, double row) {
  if (row < 0 || row >= Subject::kLashRows || s <= -1 || s >= 1) return 0;
  int r = static_cast<int>(row);
  int c = static_cast<int>((s + 1) * 0.5 * (Subject::kLashAngles - 1) + 0.5);
  return table[r * Subject::kLashAngles + c] * (1.0 / 255.0);
}

// Iris grey level at a pixel, pupil border and glints included.
double IrisPixel(const EyeGeometry& g, const int16_t* table, double x, double y) {
  double ddx = x - g.px, ddy = y - g.py;
  double d2 = ddx * ddx + ddy * ddy;
  double v;
  if (d2 < (g.rp - 0.8) * (g.rp - 0.8)) {
    v = g.pupilLevel;
  } else {
    double d = std::sqrt(d2);
    // Rubber sheet: the texture point (angle a, radius t) lies at
    // (1 - t) * pupil(a) + t * limbus(a), pupil(a) and limbus(a) being the points in
    // direction a on the pupil circle and on the iris circle. For the pixel q (from the
    // pupil centre) and the iris centre offset o this gives
    // |q - t o| = rp + t (R - rp), a quadratic in t; its non-negative root is taken.
    double ox = g.cx - g.px, oy = g.cy - g.py, span = g.R - g.rp;
    double qa = ox * ox + oy * oy - span * span;  // < 0: the pupil stays inside the iris
    double qb = ddx * ox + ddy * oy + g.rp * span;
    double qc = d2 - g.rp * g.rp;
    double root = qb + std::sqrt(std::max(0.0, qb * qb - qa * qc));
    double t = root > 1e-9 ? std::max(0.0, qc) / root : 0.0;
    double dirX = ddx - t * ox, dirY = ddy - t * oy;
    t = Clamp01(t);
    double turn = Atan2(dirY, dirX) * (0.5 / kPi) - g.rotationCycles;
    double fa = turn * Subject::kIrisAngles - 0.5;
    double fb = std::min(t * Subject::kIrisBands - 0.5, Subject::kIrisBands - 1.0);
    fb = std::max(fb, 0.0);
    double fla = std::floor(fa);
    int a0 = static_cast<int>(fla) & (Subject::kIrisAngles - 1);
    int a1 = (a0 + 1) & (Subject::kIrisAngles - 1);
    int b0 = static_cast<int>(fb);
    int b1 = std::min(b0 + 1, Subject::kIrisBands - 1);
    double wa = fa - fla, wb = fb - b0;
    const int16_t* r0 = table + b0 * Subject::kIrisAngles;
    const int16_t* r1 = table + b1 * Subject::kIrisAngles;
    double top = r0[a0] + (r0[a1] - r0[a0]) * wa;
    double bottom = r1[a0] + (r1[a1] - r1[a0]) * wa;
    double iris = g.irisLevel + (top + (bottom - top) * wb) * (1.0 / 16);
    iris = std::max(iris, std::max(g.pupilLevel + 38, 0.55 * g.irisLevel));
    double a = Clamp01(d - g.rp + 0.5);
    v = g.pupilLevel + (iris - g.pupilLevel) * a;
  }
  for (int i = 0; i < g.glints; ++i) {
    double gx = x - g.glintX[i], gy = y - g.glintY[i];
    double q2 = gx * gx + gy * gy;
    if (q2 > (g.glintR + 4) * (g.glintR + 4)) continue;
    double q = std::sqrt(q2);
    double core = Clamp01(g.glintR + 0.5 - q);
    double halo = 0.3 * Bell(q, g.glintR * 1.4);
    double w = std::max(core, halo);
    v += (255 - v) * w;
  }
  return v;
}

}  // namespace

EyeGeometry MakeEyeGeometry(const Subject& subject, int eye, const CaptureParams& p,
                            double defaultX, double defaultY) {
  EyeGeometry g;
  const Subject::EyeTraits& tr = subject.traits(eye);
  g.variant = p.variant;
  g.eye = eye & 1;
  g.R = std::clamp(p.irisRadius, 8.0, 2000.0);
  g.cx = p.centerX < 0 ? defaultX : p.centerX;
  g.cy = p.centerY < 0 ? defaultY : p.centerY;
  g.rp = std::clamp(p.pupilRatio, 0.05, 0.85) * g.R;
  // Keep the pupil inside the iris with a ring of at least 12 % of the radius.
  double ox = p.gazeX * g.R, oy = p.gazeY * g.R, off = std::hypot(ox, oy);
  double room = std::max(0.0, g.R * 0.88 - g.rp);
  if (off > room) {
    ox *= room / off;
    oy *= room / off;
  }
  g.px = g.cx + ox;
  g.py = g.cy + oy;
  g.rotationCycles = p.rotationDegrees / 360.0;
  // In the (mirrored) image the left eye's nose side is toward -x.
  g.nasal = g.eye == 0 ? -1 : 1;

  double open = std::clamp(p.openness, 0.0, 1.0);
  g.open = p.variant != EyeVariant::Closed && open > 0.02;
  if (p.variant == EyeVariant::Closed) open = 0;
  g.upperY = g.cy + g.R * (0.2 - 1.35 * open);
  g.lowerY = g.cy + g.R * (0.2 + 0.9 * open);
  g.upperX = g.cx + g.nasal * tr.upperApexShift * g.R;
  g.lowerX = g.cx + g.nasal * tr.lowerApexShift * g.R;
  double nasalX = g.cx + g.nasal * 2.3 * g.R, nasalY = g.cy + 0.15 * g.R;
  double templeX = g.cx - g.nasal * 2.55 * g.R, templeY = g.cy - 0.02 * g.R;
  if (g.nasal > 0) {
    g.leftX = templeX, g.leftY = templeY, g.rightX = nasalX, g.rightY = nasalY;
  } else {
    g.leftX = nasalX, g.leftY = nasalY, g.rightX = templeX, g.rightY = templeY;
  }

  g.glintR = std::clamp(0.03 * g.R, 3.0, 4.5);
  g.glints = p.illuminatorOn ? 2 : 1;
  g.glintX[0] = g.px + g.nasal * 0.22 * g.rp;
  g.glintY[0] = g.py - 0.2 * g.rp;
  g.glintX[1] = g.px - g.nasal * 0.3 * g.rp;
  g.glintY[1] = g.py + 0.12 * g.rp;
  g.gain = p.illuminatorOn ? 1.1 : 1.0;
  g.lightX = g.cx;
  g.lightY = g.cy;
  g.lightRadius = 5.5 * g.R;
  g.skinOffsetX = 173 + 301 * g.eye;
  g.skinOffsetY = 89 + 211 * g.eye;
  g.irisLevel = tr.irisLevel;
  g.pupilLevel = tr.pupilLevel;
  g.scleraLevel = tr.scleraLevel;
  g.skinLevel = subject.skinLevel();
  return g;
}

EyeTruth TruthOf(const EyeGeometry& g, double rotationDegrees) {
  EyeTruth t;
  t.pupilX = g.px;
  t.pupilY = g.py;
  t.pupilRadius = g.rp;
  t.irisX = g.cx;
  t.irisY = g.cy;
  t.irisRadius = g.R;
  t.rotationDegrees = rotationDegrees;
  t.eyePresent = g.variant == EyeVariant::Normal || g.variant == EyeVariant::Defocused;
  t.upperLidY = g.open ? g.upperY : g.cy + 0.2 * g.R;
  t.lowerLidY = g.open ? g.lowerY : t.upperLidY;
  return t;
}

void RenderEyeScene(const Subject& subject, const EyeGeometry& g, const GreyView& view, int x0,
                    int x1) {
  const int16_t* skin = subject.skinTile();
  const int16_t* iris = subject.irisTable(g.eye);
  const uint8_t* lashU = subject.lashTable(g.eye, true);
  const uint8_t* lashL = subject.lashTable(g.eye, false);
  const bool eyeVisible = g.variant != EyeVariant::NoEye;
  const double R = g.R;
  const double lashLenU = 0.42 * R, lashLenL = 0.2 * R;
  const double marginU = 0.06 * R, marginL = 0.04 * R;
  const double lashGrey = 0.3 * g.skinLevel;
  const double invLight2 = 1.0 / (g.lightRadius * g.lightRadius);
  const double limbusWidth = std::max(1.2, 0.012 * R);
  const double irisReach2 = (R + 2 * limbusWidth) * (R + 2 * limbusWidth);
  constexpr int kMask = Subject::kSkinSize - 1;
  constexpr int kChunk = 256;  // columns whose lid curves are computed once
  LidColumn lids[kChunk];

  for (int c0 = x0; c0 < x1; c0 += kChunk) {
    const int c1 = std::min(x1, c0 + kChunk);
    for (int xi = c0; xi < c1; ++xi) lids[xi - c0] = eyeVisible ? LidAt(g, xi) : LidColumn{};
    for (int yi = 0; yi < view.height; ++yi) {
      uint8_t* row = view.Row(yi);
      const double y = yi;
      const int16_t* skinRow = skin + ((yi + g.skinOffsetY) & kMask) * Subject::kSkinSize;
      for (int xi = c0; xi < c1; ++xi) {
        const double x = xi;
        const double tex = skinRow[(xi + g.skinOffsetX) & kMask] * (1.0 / 16);
        double v;
        const LidColumn& lid = lids[xi - c0];
        if (eyeVisible && g.open && lid.inside && y > lid.yU && y < lid.yL) {
          // Eyeball: sclera, iris, pupil.
          double dx = x - g.cx, dy = y - g.cy;
          double r2 = dx * dx + dy * dy;
          double side = dx / (2.4 * R);
          double sclera = g.scleraLevel * (1.0 - 0.22 * side * side) + 0.3 * tex;
          // Caruncle and the pinkish inner corner read darker in near infrared.
          double su = lid.su * g.nasal;
          if (su > 0.8) sclera -= (su - 0.8) * 5 * 0.35 * sclera;
          if (r2 < irisReach2) {
            double d = std::sqrt(r2);
            double a = Clamp01((d - R) / limbusWidth + 0.5);
            double inner = a < 1 ? IrisPixel(g, iris, x, y) : 0;
            v = inner + (sclera - inner) * a;
          } else {
            v = sclera;
          }
          // Shadow under the upper lid and a little above the lower one.
          v *= 1.0 - 0.35 * Bell(y - lid.yU, 0.08 * R) - 0.12 * Bell(lid.yL - y, 0.05 * R);
        } else {
          v = g.skinLevel + tex;
          if (eyeVisible) {
            double fade =
                1.0 - Clamp01((std::max(std::fabs(lid.su), std::fabs(lid.sl)) - 0.85) / 0.15);
            if (g.open) {
              double du = lid.yU - y, dl = y - lid.yL;
              if (du >= 0 && std::fabs(lid.su) < 1) {
                v *= 1.0 - fade * (0.5 * Clamp01(1.0 - du / marginU) +
                                   0.14 * Bell(du - 0.55 * R, 0.05 * R));
                double dark = LashDarkness(lashU, lid.su, du / lashLenU * Subject::kLashRows);
                v += (lashGrey - v) * dark;
              } else if (dl >= 0 && std::fabs(lid.sl) < 1) {
                v *= 1.0 - fade * (0.38 * Clamp01(1.0 - dl / marginL) +
                                   0.06 * Bell(dl - 0.35 * R, 0.08 * R));
                double dark = LashDarkness(lashL, lid.sl, dl / lashLenL * Subject::kLashRows);
                v += (lashGrey - v) * dark;
              }
            } else if (std::fabs(lid.su) < 1) {
              // Shut eye: one margin line where the lids meet, lashes hanging down.
              double d = y - lid.yU;
              v *= 1.0 - fade * (0.45 * Clamp01(1.0 - std::fabs(d) / marginL) +
                                 0.14 * Bell(-d - 0.5 * R, 0.05 * R));
              double dark = LashDarkness(lashU, lid.su, d / (0.6 * lashLenU) * Subject::kLashRows);
              v += (lashGrey - v) * dark;
            }
          }
        }
        double lx = x - g.lightX, ly = y - g.lightY;
        double light = g.gain * (1.0 - 0.3 * std::min(1.0, (lx * lx + ly * ly) * invLight2));
        v *= light;
        row[xi] = static_cast<uint8_t>(v <= 0 ? 0 : (v >= 255 ? 255 : static_cast<int>(v + 0.5)));
      }
    }
  }
}

}  // namespace ocuvant::sim
