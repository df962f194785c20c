// Sound on Windows: PlaySound asynchronously, from the module's WAVE resource holding the
// image (SND_RESOURCE | SND_NODEFAULT | SND_ASYNC | SND_NOWAIT, 0x42007), or from memory
// when no resource holds it; a new sound stops the one playing, no device stays silent.
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include "platform/sound.h"
#include "platform/wave_resource_win.h"

namespace ocuvant::platform {

namespace {

class NullSoundSink final : public SoundSink {
 public:
  void PlayAsync(const uint8_t*, size_t) override {}
  void Stop() override {}
};

HMODULE Module() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&Module), &module);
  return module;
}

class PlaySoundSink final : public SoundSink {
 public:
  ~PlaySoundSink() override { Stop(); }
  void PlayAsync(const uint8_t* wav, size_t size) override {
    if (wav == nullptr || size < 12) return;
    if (const uint16_t id = FindWaveResource(wav, size); id != 0) {
      PlaySoundA(MAKEINTRESOURCEA(id), Module(),
                 SND_RESOURCE | SND_NODEFAULT | SND_ASYNC | SND_NOWAIT);
      return;
    }
    PlaySoundA(reinterpret_cast<LPCSTR>(wav), nullptr,
               SND_MEMORY | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT);
  }
  void Stop() override { PlaySoundA(nullptr, nullptr, 0); }
};

}  // namespace

std::unique_ptr<SoundSink> CreateDefaultSoundSink() {
  if (waveOutGetNumDevs() == 0) return CreateNullSoundSink();
  return std::make_unique<PlaySoundSink>();
}

// Windows has one player; the "null" device is the silent sink, any other name the player.
std::unique_ptr<SoundSink> CreateAlsaSoundSink(const std::string& device) {
  if (device == "null") return CreateNullSoundSink();
  return CreateDefaultSoundSink();
}

std::unique_ptr<SoundSink> CreateNullSoundSink() {
  return std::make_unique<NullSoundSink>();
}

}  // namespace ocuvant::platform
