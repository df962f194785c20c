// Prints the genuine and impostor score distributions of rendered irises per engine kind:
//   iris_scores [SUBJECTS] [CAPTURES] [KIND...]   (kinds: small big Q5; default all)
// Subjects 1..SUBJECTS, both eyes each (the two eyes of a person are different irises),
// captures 1..CAPTURES of each eye processed in enrollment mode with the control's default
// thresholds; every pair of accepted templates is compared with MatchTemplate (n = 1).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/common/engine_ops.h"
#include "simulator/render/eye_renderer.h"

namespace {

using namespace ocuvant;
using engine::TemplateKind;

struct Eye {
  int subject, eye;
  std::array<uint8_t, engine::kTemplateBytes> templ;
};

void Ready(TemplateKind kind) {
  const engine::EngineOps& ops = engine::Engine(kind);
  ops.InitEngine();
  if (kind == engine::KindQ5) {
    ops.SetEnrollQuality(60, 35, 50, 0, 0);
    ops.SetMatchQuality(50, 33, 50, 0, 0);
  } else {
    ops.SetEnrollQuality(60, 35, 50, 60, 30);
    ops.SetMatchQuality(50, 30, 50, 50, 30);
  }
}

void Summary(const char* what, std::vector<float> v) {
  if (v.empty()) {
    std::printf("  %-9s none\n", what);
    return;
  }
  std::sort(v.begin(), v.end());
  double sum = 0, sq = 0;
  for (float x : v) sum += x, sq += static_cast<double>(x) * x;
  const double mean = sum / v.size();
  const double sd = std::sqrt(std::max(0.0, sq / v.size() - mean * mean));
  auto q = [&](double f) { return v[static_cast<size_t>(f * (v.size() - 1) + 0.5)]; };
  std::printf(
      "  %-9s n %5zu  mean %.3f  sd %.3f  min %.3f  p1 %.3f  p50 %.3f  p99 %.3f  max %.3f\n", what,
      v.size(), mean, sd, v.front(), q(0.01), q(0.5), q(0.99), v.back());
}

void Run(TemplateKind kind, int subjects, int captures) {
  Ready(kind);
  const engine::EngineOps& ops = engine::Engine(kind);
  const int w = engine::kEyeWidth[kind], h = engine::kEyeHeight[kind];
  std::vector<uint8_t> img(static_cast<size_t>(w) * h);
  std::vector<uint8_t> crop(static_cast<size_t>(engine::kCropSide[kind]) * engine::kCropSide[kind]);
  std::vector<Eye> eyes;
  int tried = 0;
  for (int s = 1; s <= subjects; ++s) {
    const sim::Subject person(static_cast<uint64_t>(s));
    for (int e = 0; e < 2; ++e)
      for (int c = 1; c <= captures; ++c) {
        const sim::CaptureParams p =
            sim::GoodCapture(w, h, static_cast<uint64_t>(s) * 1000 + 100 * e + c);
        sim::RenderEye(person, e, p, img.data(), w, h);
        Eye out{s, e, {}};
        ++tried;
        if (ops.ProcessEnrollImage(img.data(), out.templ.data(), crop.data(), 0, w, 0, h) == 1)
          eyes.push_back(out);
      }
  }
  std::vector<float> genuine, impostor, otherEye;
  for (size_t a = 0; a < eyes.size(); ++a)
    for (size_t b = a + 1; b < eyes.size(); ++b) {
      float score = 1;
      ops.MatchTemplate(eyes[a].templ.data(), eyes[b].templ.data(), 1, &score);
      if (eyes[a].subject == eyes[b].subject)
        (eyes[a].eye == eyes[b].eye ? genuine : otherEye).push_back(score);
      else
        impostor.push_back(score);
    }
  std::printf("%s: accepted %zu of %d\n", engine::kKindNames[kind], eyes.size(), tried);
  Summary("genuine", genuine);
  Summary("other eye", otherEye);
  Summary("impostor", impostor);
  int below[3] = {};
  for (float x : impostor) below[0] += x < 0.30f, below[1] += x < 0.333f, below[2] += x < 0.36f;
  std::printf("  impostors below 0.300: %d, below 0.333: %d, below 0.360: %d\n", below[0], below[1],
              below[2]);
  // Code bits shared by all irises: per band, the mean share of 1 bits and the RMS over the
  // angular blocks of each block's deviation from one half (independent irises: about
  // 0.5 / sqrt(templates)).
  if (eyes.empty()) return;
  for (int plane = 0; plane < 2; ++plane) {
    std::printf("  %s code bits, share of 1 / RMS block bias per band:", plane ? "odd " : "even");
    for (int b = 0; b < 8; ++b) {
      double ones = 0, bias2 = 0;
      for (int a = 0; a < 128; ++a) {
        int n = 0;
        for (const Eye& e : eyes) n += (e.templ[256 + 128 * plane + a] >> b) & 1;
        const double f = static_cast<double>(n) / eyes.size();
        ones += f;
        bias2 += (f - 0.5) * (f - 0.5);
      }
      std::printf(" %.2f/%.2f", ones / 128, std::sqrt(bias2 / 128));
    }
    std::printf("\n");
  }
  // Dependence inside one template: how often a code bit equals its neighbour one band out,
  // one block on and two blocks on (0.5 for independent bits).
  double sameBand = 0, sameBlock = 0, sameBlock2 = 0;
  for (const Eye& e : eyes)
    for (int plane = 0; plane < 2; ++plane)
      for (int a = 0; a < 128; ++a) {
        const int v = e.templ[256 + 128 * plane + a];
        const int next = e.templ[256 + 128 * plane + (a + 1) % 128];
        const int next2 = e.templ[256 + 128 * plane + (a + 2) % 128];
        sameBand += 7 - __builtin_popcount((v ^ (v >> 1)) & 0x7F);
        sameBlock += 8 - __builtin_popcount(v ^ next);
        sameBlock2 += 8 - __builtin_popcount(v ^ next2);
      }
  const double cells = eyes.size() * 2.0 * 128;
  std::printf("  equal code bits: next band %.3f, next block %.3f, block after next %.3f\n",
              sameBand / (cells * 7), sameBlock / (cells * 8), sameBlock2 / (cells * 8));
}

}  // namespace

int main(int argc, char** argv) {
  const int subjects = argc > 1 ? std::atoi(argv[1]) : 12;
  const int captures = argc > 2 ? std::atoi(argv[2]) : 2;
  bool any = false;
  for (int k = 0; k < engine::kKindCount; ++k) {
    bool chosen = argc <= 3;
    for (int i = 3; i < argc; ++i) chosen |= std::strcmp(argv[i], engine::kKindNames[k]) == 0;
    if (!chosen) continue;
    any = true;
    Run(static_cast<TemplateKind>(k), std::max(1, subjects), std::max(1, captures));
  }
  if (!any) std::fprintf(stderr, "unknown kind\n");
  return any ? 0 : 1;
}
