#include "platform/sound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/recording_sound_sink.h"
#include "platform/thread.h"
#include "wave_builder.h"

namespace ocuvant::platform {
namespace {

// Generous bounds: the point is that nothing waits for the sound or the device.
constexpr uint32_t kPromptMs = 200;
constexpr uint32_t kShutdownMs = 2000;

void PlayBurst(SoundSink& sink, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const uint32_t start = GetTickCount();
  sink.PlayAsync(a.data(), a.size());
  sink.PlayAsync(b.data(), b.size());  // replaces the first
  sink.PlayAsync(a.data(), 10);        // malformed: dropped
  sink.PlayAsync(b.data(), b.size());
  sink.Stop();
  sink.PlayAsync(a.data(), a.size());
  EXPECT_LT(TicksSince(start), kPromptMs);
}

TEST(SoundSink, AlsaPlayerNeverBlocksTheCallerWithOrWithoutADevice) {
  const auto s16 = BuildWave({.rate = 16000, .bits = 16, .frames = 16000});
  const auto u8 = BuildWave({.rate = 32000, .bits = 8, .frames = 32000});
  // "null" accepts and discards samples; the others name devices that do not exist here.
  for (const char* device : {"null", "ocuvant_no_such_device", "default"}) {
    SCOPED_TRACE(device);
    auto sink = CreateAlsaSoundSink(device);
    PlayBurst(*sink, s16, u8);
    Sleep(30);  // let the player reach the device
    PlayBurst(*sink, u8, s16);
    const uint32_t start = GetTickCount();
    sink.reset();  // stops whatever is playing
    EXPECT_LT(TicksSince(start), kShutdownMs);
  }
  auto defaultSink = CreateDefaultSoundSink();
  PlayBurst(*defaultSink, s16, u8);
  auto nullSink = CreateNullSoundSink();
  PlayBurst(*nullSink, s16, u8);
}

TEST(SoundSink, RecordingSinkKeepsEveryCallInOrderFromAnyThread) {
  RecordingSoundSink sink;
  static const uint8_t kPrompt[] = {1, 2, 3};
  const uint32_t before = GetTickCount();
  sink.PlayAsync(kPrompt, sizeof kPrompt);
  sink.Stop();
  auto calls = sink.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, RecordingSoundSink::CallKind::Play);
  EXPECT_EQ(calls[0].wav, kPrompt);
  EXPECT_EQ(calls[0].size, sizeof kPrompt);
  EXPECT_EQ(calls[1].kind, RecordingSoundSink::CallKind::Stop);
  EXPECT_EQ(calls[1].wav, nullptr);
  EXPECT_LE(calls[0].tick - before, calls[1].tick - before);
  EXPECT_LT(calls[1].tick - before, 1000u);

  sink.Clear();
  EXPECT_FALSE(sink.WaitForCalls(1, 20));
  std::vector<Thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) sink.PlayAsync(kPrompt, sizeof kPrompt);
      sink.Stop();
    });
  }
  EXPECT_TRUE(sink.WaitForCalls(303, 10000));
  for (Thread& t : threads) t.Join();
  EXPECT_EQ(sink.PlayCount(), 300u);
  EXPECT_EQ(sink.Calls().size(), 303u);
}

}  // namespace
}  // namespace ocuvant::platform
