// The stages of a Process call in order; the first that fails ends the call.
#include "engine/smallbig/pipeline.h"

#include <cstring>

namespace ocuvant::engine::smallbig {

int32_t RunPipeline(Stage& st, uint8_t* templateOut, uint8_t* cropOut) {
  int32_t code = GlobalFocusStage(st);
  if (code == kOk) code = DarkSpotStage(st);
  if (code == kOk) code = PupilCircleStage(st);
  if (code == kOk) code = IrisCircleStage(st);
  if (code == kOk) code = EyelidStage(st);
  if (code == kOk) code = BoundaryStage(st);
  if (code == kOk) code = NormaliseStage(st);
  if (code == kOk) code = OcclusionStage(st);
  if (code != kOk) return code;
  uint8_t bits[kTemplateBytes];
  code = EncodeStage(st, bits);
  if (code != kOk) return code;
  std::memcpy(templateOut, bits, kTemplateBytes);
  std::memcpy(cropOut, st.s.crop, static_cast<size_t>(st.k.crop) * st.k.crop);
  return kOk;
}

}  // namespace ocuvant::engine::smallbig
