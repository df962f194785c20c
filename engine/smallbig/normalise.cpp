// Unwrapping of the iris ring into NormalizedIris: each column interpolates from a pupil
// boundary point to the iris boundary point of the same direction.
#include "engine/smallbig/pipeline.h"

namespace ocuvant::engine::smallbig {

int32_t NormaliseStage(Stage& st) {
  const KindParams& k = st.k;
  EngineState& s = st.s;
  const int rows = k.normRows, cols = k.normCols, wrap = k.normWrap;
  const int samples = kDirections / k.normAngleStep;  // angular samples stored
  uint8_t* n = s.normalized;
  for (int a = 0; a < kDirections; a += k.normAngleStep) {
    const Point q = s.pupilBoundary[(a + 192) % kDirections];
    const Point e = s.irisBoundary[a];
    const int col = wrap + a / k.normAngleStep;
    // floor((rows q + r (e - q) + rows/2) / rows), stepped incrementally.
    int32_t x = rows * q.x + rows / 2, y = rows * q.y + rows / 2;
    for (int r = 0; r < rows; ++r, x += e.x - q.x, y += e.y - q.y) {
      const int ix = x >> k.normShift, iy = y >> k.normShift;
      n[r * cols + col] =
          ix >= 0 && ix < k.width && iy >= 0 && iy < k.height ? st.img[iy * k.width + ix] : 255;
    }
  }
  for (int r = 0; r < rows; ++r) {
    uint8_t* row = n + r * cols;
    for (int c = 0; c < wrap; ++c) {
      row[c] = row[c + samples];
      row[wrap + samples + c] = row[wrap + c];
    }
  }
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
