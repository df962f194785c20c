// Asynchronous sound: plays in-memory WAVE data; a new sound stops the one playing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ocuvant::platform {

class SoundSink {
 public:
  virtual ~SoundSink() = default;
  // Starts playing `wav`, a whole RIFF/WAVE image that stays valid as long as the
  // sink (module resources do); returns immediately. A busy or missing device or malformed data
  // drops the sound silently.
  virtual void PlayAsync(const uint8_t* wav, size_t size) = 0;
  virtual void Stop() = 0;
};

// ALSA "default" device on a player thread; silent when there is no device.
std::unique_ptr<SoundSink> CreateDefaultSoundSink();
// The same player on a named ALSA device (e.g. "null").
std::unique_ptr<SoundSink> CreateAlsaSoundSink(const std::string& device);
std::unique_ptr<SoundSink> CreateNullSoundSink();

}  // namespace ocuvant::platform
