// Boundary point lists for the normalisation and the marks on the IrisCrop.
#include "engine/smallbig/image_ops.h"
#include "engine/smallbig/pipeline.h"

namespace ocuvant::engine::smallbig {

int32_t BoundaryStage(Stage& st) {
  EngineState& s = st.s;
  const int S = st.k.crop, C = S / 2;
  const int X = s.irisX, Y = s.irisY;
  // Pupil list starts in direction 320 and runs backward; iris list starts straight down.
  const int pr = s.rp + 2, ir = s.irisR + st.k.irisBoundaryExtra;
  for (int i = 0; i < kDirections; ++i) {
    const int m = DirIndex(320 - i);
    s.pupilBoundary[i] = {s.px + Along(pr, DirX[m]), s.py + Along(pr, DirY[m])};
    const int n = DirIndex(128 - i);
    s.irisBoundary[i] = {X + Along(ir, DirX[n]), Y + Along(ir, DirY[n])};
  }

  auto mark = [&](int x, int y) {  // image coordinates
    const int u = x - X + C, v = y - Y + C;
    if (u >= 0 && u < S && v >= 0 && v < S) s.crop[v * S + u] = 255;
  };
  for (int i = 64; i < 320; ++i) mark(s.pupilBoundary[i].x, s.pupilBoundary[i].y);
  for (int i = 128; i < 384; ++i) mark(s.irisBoundary[i].x, s.irisBoundary[i].y);
  for (int o = -4; o <= 4; ++o) {
    mark(s.px + o, s.py);
    mark(s.px, s.py + o);
  }
  mark(X, Y);
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
