// Asynchronous sound: plays in-memory WAVE data; a new sound stops the one playing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ocuvant::platform {

class SoundSink {
 public:
  virtual ~SoundSink() = default;
  // Starts playing `wav` (a whole RIFF/WAVE image that outlives the call);
  // returns immediately. A busy or missing device drops the sound silently.
  virtual void PlayAsync(const uint8_t* wav, size_t size) = 0;
  virtual void Stop() = 0;
};

// ALSA "default" device on a player thread; silent when there is no device.
std::unique_ptr<SoundSink> CreateDefaultSoundSink();
std::unique_ptr<SoundSink> CreateNullSoundSink();

}  // namespace ocuvant::platform
