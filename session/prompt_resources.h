// The voice prompts compiled into the library (the module's WAVE resources), by
// resource number. The data is generated from session/prompts/prompt_<id>.wav.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace ocuvant::session {

struct PromptResource {
  int32_t id;
  const uint8_t* wav;  // whole RIFF/WAVE image, static storage
  size_t size;
};

extern const PromptResource kPromptResources[];
extern const size_t kPromptResourceCount;

// nullptr when the module has no prompt with that number.
const PromptResource* FindPromptResource(int32_t id);

}  // namespace ocuvant::session
