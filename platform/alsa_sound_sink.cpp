// The ALSA player: one thread per sink plays one sound at a time. Each request
// bumps a generation counter; the sound in progress notices it between 20 ms
// chunks, drops what the device still holds and gives way.
#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/sound.h"
#include "platform/thread.h"
#include "platform/wave.h"

namespace ocuvant::platform {

namespace {

constexpr unsigned kLatencyUs = 100000;            // device buffer
constexpr uint32_t kChunkMs = 20;                  // longest wait before noticing a new request
constexpr uint32_t kReopenAfterFailureMs = 30000;  // a missing device is not retried on every sound
constexpr auto kDrainLimit = std::chrono::milliseconds(1000);

class AlsaSoundSink final : public SoundSink {
 public:
  explicit AlsaSoundSink(std::string device) : device_(std::move(device)) {
    thread_ = std::thread([this] { Run(); });
  }

  ~AlsaSoundSink() override {
    {
      std::lock_guard lock(mutex_);
      quitting_ = true;
      ++generation_;
    }
    wake_.notify_all();
    thread_.join();
    CloseDevice();
  }

  void PlayAsync(const uint8_t* wav, size_t size) override { Request(wav, size); }
  void Stop() override { Request(nullptr, 0); }

 private:
  void Request(const uint8_t* wav, size_t size) {
    {
      std::lock_guard lock(mutex_);
      pendingWav_ = wav;
      pendingSize_ = size;
      ++generation_;
    }
    wake_.notify_all();
  }

  bool Superseded(uint64_t generation) const { return generation_.load() != generation; }

  void Run() {
    std::unique_lock lock(mutex_);
    uint64_t seen = 0;
    for (;;) {
      wake_.wait(lock, [&] { return quitting_ || generation_.load() != seen; });
      if (quitting_) return;
      seen = generation_.load();
      const uint8_t* wav = pendingWav_;
      const size_t size = pendingSize_;
      pendingWav_ = nullptr;
      lock.unlock();
      if (wav != nullptr) {
        if (const std::optional<WaveData> wave = ParseWave(wav, size)) Play(*wave, seen);
      } else if (pcm_ != nullptr) {
        snd_pcm_drop(pcm_);
      }
      // Nothing further asked for: release the device to other programs.
      if (generation_.load() == seen) CloseDevice();
      lock.lock();
    }
  }

  bool OpenDevice() {
    if (pcm_ != nullptr) return true;
    if (openFailed_ && TicksSince(openFailedTick_) < kReopenAfterFailureMs) return false;
    if (snd_pcm_open(&pcm_, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
      pcm_ = nullptr;
      openFailed_ = true;
      openFailedTick_ = GetTickCount();
      return false;
    }
    openFailed_ = false;
    return true;
  }

  void CloseDevice() {
    if (pcm_ != nullptr) snd_pcm_close(pcm_);
    pcm_ = nullptr;
  }

  void Play(const WaveData& wave, uint64_t generation) {
    if (!OpenDevice()) return;
    snd_pcm_drop(pcm_);
    const snd_pcm_format_t format =
        wave.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if (snd_pcm_set_params(pcm_, format, SND_PCM_ACCESS_RW_INTERLEAVED, wave.channels,
                           wave.sampleRate, 1, kLatencyUs) < 0) {
      CloseDevice();
      return;
    }
    const size_t frameBytes = static_cast<size_t>(wave.channels) * wave.bitsPerSample / 8;
    const size_t chunk = std::max<size_t>(1, wave.sampleRate * kChunkMs / 1000);
    size_t done = 0;
    while (done < wave.frames) {
      if (Superseded(generation)) {
        snd_pcm_drop(pcm_);
        return;
      }
      const size_t count = std::min(chunk, wave.frames - done);
      const snd_pcm_sframes_t written =
          snd_pcm_writei(pcm_, wave.samples + done * frameBytes, count);
      if (written == -EAGAIN) {
        snd_pcm_wait(pcm_, static_cast<int>(kChunkMs));
      } else if (written < 0) {
        if (snd_pcm_recover(pcm_, static_cast<int>(written), 1) < 0) {
          CloseDevice();
          return;
        }
      } else {
        done += static_cast<size_t>(written);
      }
    }
    PlayOut(generation);
    snd_pcm_drop(pcm_);
  }

  // Lets the device play what it holds, still giving way to a new request at once.
  void PlayOut(uint64_t generation) {
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
    const auto giveUp = std::chrono::steady_clock::now() + kDrainLimit;
    for (;;) {
      snd_pcm_sframes_t delay = 0;
      if (snd_pcm_delay(pcm_, &delay) < 0 || delay <= 0) return;
      if (std::chrono::steady_clock::now() >= giveUp) return;
      std::unique_lock lock(mutex_);
      if (wake_.wait_for(lock, std::chrono::milliseconds(kChunkMs),
                         [&] { return generation_.load() != generation; })) {
        return;
      }
    }
  }

  const std::string device_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<uint64_t> generation_{0};  // changed under mutex_, read anywhere
  const uint8_t* pendingWav_ = nullptr;
  size_t pendingSize_ = 0;
  bool quitting_ = false;
  // The player thread's own (and the destructor's after the join).
  snd_pcm_t* pcm_ = nullptr;
  bool openFailed_ = false;
  uint32_t openFailedTick_ = 0;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<SoundSink> CreateAlsaSoundSink(const std::string& device) {
  try {
    return std::make_unique<AlsaSoundSink>(device);
  } catch (const std::system_error&) {  // no player thread: silence
    return CreateNullSoundSink();
  }
}

}  // namespace ocuvant::platform
