// Writes sample renderings (every eye-image size, each variant, a binocular
// frame) as PGM files for eyeballing, and prints their ground truth and a
// band-pass sharpness figure of each.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "simulator/render/eye_renderer.h"
#include "simulator/render/pgm.h"

namespace {

using ocuvant::sim::CaptureParams;
using ocuvant::sim::EyeVariant;

// Band-pass power (8x8 box minus four times the central 4x4 box) over a
// 4-pixel grid, normalised as focus figures are: 100 P / (P + w n).
int Focus(const std::vector<uint8_t>& img, int w, int x0, int x1, int y0, int y1, int weight,
          long* powerOut = nullptr) {
  double power = 0;
  long n = 1;
  for (int y = y0; y <= y1; y += 4) {
    for (int x = x0; x <= x1; x += 4) {
      long s8 = 0, s4 = 0;
      for (int dy = -4; dy < 4; ++dy)
        for (int dx = -4; dx < 4; ++dx) s8 += img[(y + dy) * w + x + dx];
      for (int dy = -2; dy < 2; ++dy)
        for (int dx = -2; dx < 2; ++dx) s4 += img[(y + dy) * w + x + dx];
      long v = s8 - 4 * s4;
      power += static_cast<double>((v * v) / 256);
      if (img[y * w + x] < 255) ++n;
    }
  }
  if (powerOut) *powerOut = static_cast<long>(power);
  return static_cast<int>(100 * power / (power + weight * static_cast<double>(n)));
}

// Whole-image focus, focus around the pupil and the share of that power
// outside the pupil's centre, on the grids each eye-image size uses.
void PrintFocus(const std::vector<uint8_t>& img, int w, int h, const ocuvant::sim::EyeTruth& t) {
  const bool small = w == 960, q5 = h == 1080;
  int global =
      small ? Focus(img, w, 160, 796, 160, 796, 16)
            : (q5 ? Focus(img, w, 152, 1120, 112, 960, 16) : Focus(img, w, 192, 1084, 96, 860, 16));
  int x = static_cast<int>(t.pupilX), y = static_cast<int>(t.pupilY);
  x = std::clamp(x, 200, w - 200);
  y = std::clamp(y, 200, h - 200);
  long p = 0, pc = 0;
  int local;
  if (small) {
    local = Focus(img, w, x - 128, x + 124, y - 80, y + 124, 32, &p);
    Focus(img, w, x - 12, x + 12, y - 12, y + 8, 32, &pc);
  } else if (q5) {
    local = Focus(img, w, x - 160, x + 156, y - 160, y + 156, 32, &p);
  } else {
    local = Focus(img, w, x - 180, x + 176, y - 180, y + 176, 32, &p);
    Focus(img, w, x - 20, x + 16, y - 20, y + 16, 32, &pc);
  }
  std::printf("  focus: global %d local %d movement %d\n", global, local,
              p > 0 ? static_cast<int>(100.0 * (p - pc) / p) : 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "/tmp";
  uint64_t subject = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  uint64_t capture = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  ocuvant::sim::Subject s(subject);
  struct Size {
    const char* name;
    int w, h;
  } sizes[] = {{"small", 960, 960}, {"big", 1280, 960}, {"q5", 1280, 1080}};
  const char* variants[] = {"normal", "defocus", "closed", "noeye"};
  for (const Size& size : sizes) {
    std::vector<uint8_t> img(static_cast<size_t>(size.w) * size.h);
    for (int v = 0; v < 4; ++v) {
      for (int eye = 0; eye < 2; ++eye) {
        if (v > 0 && eye == 1) continue;
        CaptureParams p = ocuvant::sim::GoodCapture(size.w, size.h, capture);
        p.variant = static_cast<EyeVariant>(v);
        ocuvant::sim::EyeTruth t = ocuvant::sim::RenderEye(s, eye, p, img.data(), size.w, size.h);
        std::string path = dir + "/eye_" + size.name + "_" + variants[v] + "_" +
                           (eye == 0 ? "left" : "right") + ".pgm";
        ocuvant::sim::WritePgm(path, img.data(), size.w, size.h);
        std::printf("%s pupil (%.1f, %.1f, r %.1f) iris (%.1f, %.1f, r %.1f) lids %.0f..%.0f\n",
                    path.c_str(), t.pupilX, t.pupilY, t.pupilRadius, t.irisX, t.irisY, t.irisRadius,
                    t.upperLidY, t.lowerLidY);
        PrintFocus(img, size.w, size.h, t);
      }
    }
  }
  std::vector<uint8_t> frame(1920 * 1080);
  CaptureParams l, r;
  l.irisRadius = r.irisRadius = 100;
  l.captureSeed = capture;
  r.captureSeed = capture + 1000;
  l.illuminatorOn = r.illuminatorOn = true;
  ocuvant::sim::RenderBinocularFrame(s, l, r, frame.data(), 1920, 1080,
                                     ocuvant::sim::FrameFormat::Grey);
  ocuvant::sim::WritePgm(dir + "/frame_grey.pgm", frame.data(), 1920, 1080);
  std::printf("%s/frame_grey.pgm\n", dir.c_str());
  return 0;
}
