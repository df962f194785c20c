#include "platform/sound.h"

#include <unistd.h>

namespace ocuvant::platform {

namespace {

class NullSoundSink final : public SoundSink {
 public:
  void PlayAsync(const uint8_t*, size_t) override {}
  void Stop() override {}
};

}  // namespace

std::unique_ptr<SoundSink> CreateDefaultSoundSink() {
  // A machine without sound devices (servers, containers) stays silent without asking
  // the sound library, which would complain on stderr at every prompt.
  if (access("/dev/snd", F_OK) != 0) return CreateNullSoundSink();
  return CreateAlsaSoundSink("default");
}

std::unique_ptr<SoundSink> CreateNullSoundSink() {
  return std::make_unique<NullSoundSink>();
}

}  // namespace ocuvant::platform
