#include "platform/sound.h"

namespace ocuvant::platform {

namespace {

class NullSoundSink final : public SoundSink {
 public:
  void PlayAsync(const uint8_t*, size_t) override {}
  void Stop() override {}
};

}  // namespace

std::unique_ptr<SoundSink> CreateDefaultSoundSink() {
  return CreateAlsaSoundSink("default");
}

std::unique_ptr<SoundSink> CreateNullSoundSink() {
  return std::make_unique<NullSoundSink>();
}

}  // namespace ocuvant::platform
