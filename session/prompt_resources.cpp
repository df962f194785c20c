#include "session/prompt_resources.h"

namespace ocuvant::session {

const PromptResource* FindPromptResource(int32_t id) {
  for (size_t i = 0; i < kPromptResourceCount; ++i) {
    if (kPromptResources[i].id == id) return &kPromptResources[i];
  }
  return nullptr;
}

}  // namespace ocuvant::session
