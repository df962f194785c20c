// Eyelids: upper and lower parabolas that best separate the iris from the brighter lid
// above (below) them, the eye opening check, and painting the lids out of the image.
#include <algorithm>

#include "engine/smallbig/image_ops.h"
#include "engine/smallbig/pipeline.h"

namespace ocuvant::engine::smallbig {

namespace {

inline int32_t LidRow(const Parabola& p, int32_t x) {
  const int32_t d = x - p.xv;
  return (p.a * d * d + 4096 * p.yv) >> 12;
}

// Best parabola: sum over every eighth column of crop(x, y + away) - crop(x, y), where
// `away` is -8 (upper lid: the pixel above the curve) or +8 (lower lid: below it).
Parabola SearchLid(const Stage& st, const int* curvatures, int yvFirst, int yvEnd, int away) {
  const KindParams& k = st.k;
  const int S = k.crop, C = S / 2, R = st.s.irisR;
  const uint8_t* crop = st.s.crop;
  Parabola best{0, 0, 0};
  int32_t bestScore = 0;
  for (int ai = 0; ai < k.lidACount; ++ai) {
    for (int xv = k.lidXvFirst; xv <= k.lidXvLast; xv += k.lidXvStep) {
      for (int yv = yvFirst; yv < yvEnd; yv += 4) {
        const Parabola p{curvatures[ai], xv, yv};
        int32_t score = 0;
        for (int x = -R; x <= R; x += 8) {
          const int u = C + x;
          const int v = C + LidRow(p, x);
          if (u < 0 || u >= S || v < 0 || v >= S || v + away < 0 || v + away >= S) continue;
          score += crop[(v + away) * S + u] - crop[v * S + u];
        }
        if (score >= bestScore) {
          bestScore = score;
          best = p;
        }
      }
    }
  }
  return best;
}

}  // namespace

int32_t EyelidStage(Stage& st) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  const int S = k.crop, C = S / 2;
  const int X = s.irisX, Y = s.irisY, R = s.irisR;
  uint8_t* crop = s.crop;

  // 8. Flatten pupil and sclera so that only the lid edges remain.
  if (k.smallLidLevels) {
    const int32_t fill = (s.pupilLevel2 + 3 * s.irisMedian) / 4;
    for (int i = 0; i < S * S; ++i)
      if (crop[i] < fill) crop[i] = static_cast<uint8_t>(fill);
  } else {
    const int32_t fill = (s.pupilLevel2 + 3 * s.iq75) / 4;
    const int h = 5 * s.rp / 4;
    const int u0 = std::max(0, s.px - h - X + C), u1 = std::min(S, s.px + h - X + C);
    const int v0 = std::max(0, s.py - h - Y + C), v1 = std::min(S, s.py + h - Y + C);
    for (int v = v0; v < v1; ++v)
      for (int u = u0; u < u1; ++u)
        if (crop[v * S + u] < fill) crop[v * S + u] = static_cast<uint8_t>(fill);
  }
  const int32_t clamp =
      k.smallLidLevels ? (s.scleraLevel2 + s.iq75) / 2 : (s.iq75 + 3 * s.scleraLevel2) / 4;
  for (int i = 0; i < S * S; ++i)
    if (crop[i] > clamp) crop[i] = static_cast<uint8_t>(std::max(0, clamp));

  // 9-10. Lid searches.
  s.upperLid = SearchLid(st, k.lidUpperA, -R - 16, 0, -8);
  s.lowerLid = SearchLid(st, k.lidLowerA, 0, R + 16, 8);

  // 11. Eye opening between the (shifted) vertices.
  s.lowerLid.yv += k.lidLowerShift;
  s.upperLid.yv += k.lidUpperShift;
  const int32_t opening = s.lowerLid.yv - s.upperLid.yv;
  if (100 * opening < st.lim.eyeOpenMin * R) return kEyeOpening;

  // 12. Crop around the iris, white outside the image; Small draws the lids into it.
  CutCrop(st.img, k.width, k.height, X, Y, crop, S, 255);
  if (k.lidDrawInCrop) {
    for (const Parabola* p : {&s.upperLid, &s.lowerLid}) {
      for (int x = -R; x < R; ++x) {
        const int u = C + x, v = C + LidRow(*p, x);
        if (u >= 0 && u < S && v >= 0 && v < S) crop[v * S + u] = 255;
      }
    }
  }

  // 13. Paint the image white above the upper and below the lower lid.
  for (int x = -R; x < R; ++x) {
    const int ix = X + x;
    if (ix < 0 || ix >= k.width) continue;
    const int upper = LidRow(s.upperLid, x);
    for (int y = -R; y <= upper; ++y) {
      const int iy = Y + y;
      if (iy >= 0 && iy < k.height) st.img[iy * k.width + ix] = 255;
    }
    for (int y = LidRow(s.lowerLid, x); y <= R; ++y) {
      const int iy = Y + y;
      if (iy >= 0 && iy < k.height) st.img[iy * k.width + ix] = 255;
    }
  }
  s.upperLidRow = Y + s.upperLid.yv;
  s.lowerLidRow = Y + s.lowerLid.yv;
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
