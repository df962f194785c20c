#include "platform/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/thread.h"

namespace ocuvant::platform {
namespace {

// Records handled messages (all on the owner thread) and answers msg * 2.
struct Recorder {
  std::vector<uint32_t> handled;
  std::thread::id handlerThread;
  MessageHandler Handler() {
    return [this](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
      handled.push_back(msg);
      handlerThread = std::this_thread::get_id();
      return static_cast<intptr_t>(msg) * 2;
    };
  }
};

// A thread that sends one message and reports when it is about to block and when it returned.
struct Sender {
  std::atomic<bool> started{false};
  std::atomic<bool> returned{false};
  std::atomic<intptr_t> result{-1};
  Thread thread;
  Sender(WindowHandle window, uint32_t msg) {
    thread = Thread([this, window, msg] {
      started = true;
      result = window.Send(msg);
      returned = true;
    });
  }
  // The send is queued microseconds after `started`; the margin covers a loaded machine.
  void WaitUntilBlocked() {
    while (!started) Sleep(1);
    Sleep(200);
  }
};

bool PumpUntil(Window& window, const std::atomic<bool>& flag, uint32_t limitMs = 5000) {
  const uint32_t start = GetTickCount();
  while (!flag && TicksSince(start) < limitMs) window.Pump(10);
  return flag;
}

TEST(Window, SendFromAnotherThreadBlocksUntilTheOwnerPumpsAndReturnsTheResult) {
  Recorder recorder;
  Window window(recorder.Handler());
  Sender sender(window.Handle(), 21);
  sender.WaitUntilBlocked();
  EXPECT_FALSE(sender.returned);
  EXPECT_TRUE(recorder.handled.empty());

  ASSERT_TRUE(PumpUntil(window, sender.returned));
  sender.thread.Join();
  EXPECT_EQ(sender.result, 42);
  EXPECT_EQ(recorder.handled, std::vector<uint32_t>{21});
  EXPECT_EQ(recorder.handlerThread, std::this_thread::get_id());
}

TEST(Window, SendOnTheOwnerThreadCallsTheHandlerDirectlyAndReentrantly) {
  std::vector<uint32_t> handled;
  Window* self = nullptr;
  Window window([&](uint32_t msg, uintptr_t w, intptr_t) -> intptr_t {
    handled.push_back(msg);
    if (msg == 1) return self->Send(2, w + 1) + 100;  // nested send from a handler
    return static_cast<intptr_t>(w);
  });
  self = &window;
  EXPECT_TRUE(window.IsOwnerThread());
  EXPECT_EQ(window.Send(1, 5), 106);
  EXPECT_EQ(handled, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(window.Handle().Send(3, 9), 9);
}

TEST(Window, PostedMessagesKeepTheirOrderAndSentMessagesGoFirst) {
  Recorder recorder;
  Window window(recorder.Handler());
  for (uint32_t m : {1u, 2u, 3u}) EXPECT_TRUE(window.Post(m));
  std::thread poster([h = window.Handle()] { h.Post(4); });
  poster.join();
  EXPECT_TRUE(recorder.handled.empty());  // posting never calls the handler

  Sender sender(window.Handle(), 100);
  sender.WaitUntilBlocked();
  EXPECT_TRUE(window.Pump(0));
  sender.thread.Join();
  EXPECT_EQ(recorder.handled, (std::vector<uint32_t>{100, 1, 2, 3, 4}));
  EXPECT_EQ(sender.result, 200);
}

TEST(Window, PumpRespectsItsTimeLimit) {
  std::atomic<int> count{0};
  Window* self = nullptr;
  // A handler that posts again at once would keep an unbounded loop busy forever.
  Window window([&](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
    ++count;
    self->Post(msg);
    return 0;
  });
  self = &window;

  uint32_t start = GetTickCount();
  EXPECT_TRUE(window.Pump(100));  // nothing queued: waits out the time
  EXPECT_GE(TicksSince(start), 95u);
  EXPECT_EQ(count, 0);

  window.Post(7);
  EXPECT_TRUE(window.Pump(0));  // only what was queued at entry
  EXPECT_EQ(count, 1);

  start = GetTickCount();
  EXPECT_TRUE(window.Pump(50));
  EXPECT_GT(count, 1);
  EXPECT_LT(TicksSince(start), 2000u);
}

TEST(Window, PumpWakesForAMessageAndStopsAtQuit) {
  std::vector<uint32_t> handled;
  Window* self = nullptr;
  Window window([&](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
    handled.push_back(msg);
    if (msg == 5) self->PostQuit();
    return 0;
  });
  self = &window;
  Thread other([h = window.Handle()] {
    Sleep(50);
    h.Post(5);
  });
  const uint32_t start = GetTickCount();
  EXPECT_FALSE(window.Pump(10000));  // woken by the post, ended by the quit it caused
  EXPECT_LT(TicksSince(start), 5000u);
  other.Join();
  EXPECT_EQ(handled, std::vector<uint32_t>{5});
  window.Post(6);
  EXPECT_FALSE(window.Pump(100));  // the quit stays posted
  EXPECT_EQ(handled, std::vector<uint32_t>{5});

  Recorder recorder;
  Window second(recorder.Handler());
  second.Post(1);
  Thread quitter([&] {
    Sleep(20);
    second.PostQuit();
  });
  second.RunUntilQuit();
  quitter.Join();
  EXPECT_EQ(recorder.handled, std::vector<uint32_t>{1});
}

TEST(Window, PumpOnAnotherThreadHandlesNothing) {
  Recorder recorder;
  Window window(recorder.Handler());
  window.Post(1);
  std::thread([&] { EXPECT_TRUE(window.Pump(0)); }).join();
  EXPECT_TRUE(recorder.handled.empty());
  window.Pump(0);
  EXPECT_EQ(recorder.handled, std::vector<uint32_t>{1});
}

TEST(Window, DestructionReleasesBlockedSendersAndLaterCallsFail) {
  std::atomic<int> calls{0};
  auto window = std::make_unique<Window>([&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    ++calls;
    return 1;
  });
  const WindowHandle handle = window->Handle();
  EXPECT_TRUE(handle.IsWindow());
  window->Post(1);
  Sender sender(handle, 2);
  sender.WaitUntilBlocked();
  window.reset();
  sender.thread.Join();
  EXPECT_EQ(sender.result, 0);
  EXPECT_EQ(calls, 0);

  EXPECT_FALSE(handle.IsWindow());
  EXPECT_FALSE(handle.Post(3));
  EXPECT_EQ(handle.Send(4), 0);
  std::thread([&] { EXPECT_EQ(handle.Send(5), 0); }).join();
  EXPECT_FALSE(WindowHandle().Post(1));
  EXPECT_EQ(WindowHandle().Send(1), 0);
  EXPECT_EQ(calls, 0);
}

TEST(Window, AHandlerMayDestroyItsOwnWindow) {
  std::unique_ptr<Window> window;
  std::atomic<bool> destroyed{false};
  window = std::make_unique<Window>([&](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
    if (msg == 1) {
      window.reset();
      destroyed = true;
    }
    return 0;
  });
  Window* raw = window.get();
  const WindowHandle handle = window->Handle();
  raw->Post(1);
  raw->Post(2);
  EXPECT_FALSE(raw->Pump(0));  // stops after the handler; touches no freed memory
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(handle.Post(3));
}

// The end of a session: a worker holding a lock sends its result; the handler
// starts a closer that needs the lock and waits for it at most a bounded time.
TEST(Window, BoundedWaitInAHandlerResolvesTheSendAndCloseOrder) {
  std::mutex captureLock;
  std::atomic<bool> closed{false};
  std::atomic<bool> waitTimedOut{false};
  Thread closer;
  Window window([&](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
    if (msg != 1) return 0;
    closer = Thread([&] {
      std::lock_guard lock(captureLock);
      closed = true;
    });
    waitTimedOut = !closer.Wait(300);
    closer.Detach();
    return 7;
  });
  std::atomic<intptr_t> result{0};
  std::atomic<bool> workerDone{false};
  Thread worker([&, h = window.Handle()] {
    std::lock_guard lock(captureLock);
    result = h.Send(1);
    workerDone = true;
  });
  ASSERT_TRUE(PumpUntil(window, workerDone));
  worker.Join();
  EXPECT_TRUE(waitTimedOut);  // the closer was blocked behind the sender's lock
  EXPECT_EQ(result, 7);
  EXPECT_TRUE(closer.Wait(5000));  // once the sender let go of the lock
  EXPECT_TRUE(closed);
}

// Senders on several threads, posters and a pumping owner: each sender gets its own answer.
TEST(Window, ConcurrentSendersEachGetTheirOwnAnswer) {
  std::atomic<int> posted{0};
  Window window([&](uint32_t msg, uintptr_t w, intptr_t) -> intptr_t {
    if (msg == 2) ++posted;
    return static_cast<intptr_t>(w) + 1;
  });
  constexpr int kThreads = 4;
  constexpr int kPerThread = 50;
  std::atomic<int> wrong{0};
  std::atomic<int> finished{0};
  std::vector<Thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t, h = window.Handle()] {
      for (int i = 0; i < kPerThread; ++i) {
        const uintptr_t w = static_cast<uintptr_t>(t * 1000 + i);
        if (h.Send(1, w) != static_cast<intptr_t>(w) + 1) ++wrong;
        h.Post(2);
      }
      ++finished;
    });
  }
  const uint32_t start = GetTickCount();
  while (finished < kThreads && TicksSince(start) < 10000) window.Pump(10);
  for (Thread& t : threads) t.Join();
  window.Pump(0);
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(posted, kThreads * kPerThread);
}

}  // namespace
}  // namespace ocuvant::platform
