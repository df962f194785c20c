// How templates reach the host: the array events point at a 1024-byte area (step-0
// template, then step-1); the string events carry the step-0 half as hexadecimal.
#pragma once

#include <cstdint>
#include <string>

#include "control/kind_state.h"

namespace ocuvant::control {

// Byte view of a template area (the workflows write templates through it).
inline uint8_t* TemplateBytes(int32_t (&area)[kTemplateAreaBytes / 4]) {
  return reinterpret_cast<uint8_t*>(area);
}
inline const uint8_t* TemplateBytes(const int32_t (&area)[kTemplateAreaBytes / 4]) {
  return reinterpret_cast<const uint8_t*>(area);
}

// The step-0 template (first 512 bytes) as 1024 lowercase hex digits, two per byte
// in memory order; the empty string when those bytes are all zero.
std::string TemplateHex(const uint8_t* area);
inline std::string TemplateHex(const int32_t (&area)[kTemplateAreaBytes / 4]) {
  return TemplateHex(TemplateBytes(area));
}

}  // namespace ocuvant::control
