// The Q5 engine's operations (template kind Q5, 1280 x 1080 EyeImage, 360 x 360 IrisCrop).
// Plain functions over the module's own state; one call at a time.
#pragma once

#include <cstdint>

#include "engine/common/engine_ops.h"

namespace ocuvant::engine::q5 {

int32_t InitEngine();
// Thresholds from the user's settings: textureMin = trunc(16 sqrt(T / (100 - T)) + 0.5),
// visualMin = visualDegree, gazeMax = 100 - gaze. Nothing is set before these run.
int32_t SetEnrollQuality(int32_t texture, int32_t visualDegree, int32_t gaze);
int32_t SetMatchQuality(int32_t texture, int32_t visualDegree, int32_t gaze);
// eye: 1280 x 1080 (modified), templateOut: 512 bytes (written on 1 only), cropOut:
// 360 x 360 working cut (overwritten from the pupil search on). Returns 1 or a code.
int32_t ProcessEnrollImage(uint8_t* eye, uint8_t* templateOut, uint8_t* cropOut);
int32_t ProcessMatchImage(uint8_t* eye, uint8_t* templateOut, uint8_t* cropOut);
// Texture score, visible iris percent, gaze score of the last Process call.
int32_t GetQualityScores(int32_t* q1, int32_t* q2, int32_t* q3);
int32_t BuildEnrollTemplate(const uint8_t* t1, const uint8_t* t2, const uint8_t* t3,
                            int32_t* score);
int32_t MatchTemplate(const uint8_t* database, const uint8_t* probe, int32_t n, float* score);

// textureMin for a Texture setting (T read as unsigned 32 bits).
int32_t TextureMinimum(int32_t texture);

}  // namespace ocuvant::engine::q5
