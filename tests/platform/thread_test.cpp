#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace ocuvant::platform {
namespace {

TEST(ManualResetEvent, WaitTimesOutWhenNotSetAndStaysSetUntilReset) {
  ManualResetEvent event;
  EXPECT_FALSE(event.IsSet());
  uint32_t start = GetTickCount();
  EXPECT_FALSE(event.Wait(100));
  const uint32_t waited = TicksSince(start);
  EXPECT_GE(waited, 95u);
  EXPECT_LT(waited, 5000u);
  EXPECT_FALSE(event.Wait(0));

  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(1000));  // manual reset: a wait does not consume it
  EXPECT_TRUE(event.IsSet());
  event.Reset();
  EXPECT_FALSE(event.Wait(10));

  ManualResetEvent initially(true);
  EXPECT_TRUE(initially.Wait(0));
}

TEST(ManualResetEvent, SetOnAnotherThreadWakesEveryWaiterBeforeTheTimeOut) {
  ManualResetEvent event;
  std::atomic<int> woken{0};
  std::vector<Thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (event.Wait(10000)) ++woken;
    });
  }
  const uint32_t start = GetTickCount();
  Sleep(20);
  event.Set();
  for (Thread& t : waiters) t.Join();
  EXPECT_EQ(woken, 3);
  EXPECT_LT(TicksSince(start), 5000u);
}

TEST(Thread, BoundedWaitThenDetachLetsTheBodyFinishAlone) {
  ManualResetEvent release;
  std::atomic<bool> ran{false};
  Thread thread([&] {
    release.Wait(10000);
    ran = true;
  });
  EXPECT_TRUE(thread.Joinable());
  EXPECT_FALSE(thread.Wait(50));
  thread.Detach();
  EXPECT_FALSE(thread.Joinable());
  release.Set();
  EXPECT_TRUE(thread.Wait(5000));
  EXPECT_TRUE(ran);

  Thread quick([] {});
  quick.Join();
  EXPECT_TRUE(quick.Wait(0));
  EXPECT_TRUE(Thread().Wait(0));  // no thread: nothing to wait for
}

TEST(Thread, MoveAssignmentJoinsTheThreadItReplacesAndABodyMayThrow) {
  std::atomic<int> done{0};
  Thread a([&] {
    Sleep(30);
    ++done;
  });
  a = Thread([&] { ++done; });
  EXPECT_GE(done.load(), 1);  // the first one was joined by the assignment
  a.Join();
  EXPECT_EQ(done, 2);

  Thread thrower([] { throw std::runtime_error("worker failed"); });
  EXPECT_TRUE(thrower.Wait(5000));
  thrower.Join();

  ManualResetEvent detachedRan;
  EXPECT_TRUE(StartDetachedThread([&] { detachedRan.Set(); }));
  EXPECT_TRUE(detachedRan.Wait(5000));
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CriticalSection cs;
  cs.Enter();
  EXPECT_TRUE(cs.TryEnter());  // the owner enters again
  std::atomic<bool> otherGotIt{true};
  std::thread([&] { otherGotIt = cs.TryEnter(); }).join();
  EXPECT_FALSE(otherGotIt);
  cs.Leave();
  std::thread([&] { otherGotIt = cs.TryEnter(); }).join();
  EXPECT_FALSE(otherGotIt);  // still held once
  cs.Leave();

  int counter = 0;
  std::vector<Thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        Lock outer(cs);
        Lock inner(cs);
        ++counter;
      }
    });
  }
  for (Thread& t : threads) t.Join();
  EXPECT_EQ(counter, 4000);
}

TEST(TickCount, AdvancesInMillisecondsAndTimeOutsSurviveTheWrap) {
  const uint32_t start = GetTickCount();
  Sleep(50);
  const uint32_t elapsed = TicksSince(start);
  EXPECT_GE(elapsed, 49u);
  EXPECT_LT(elapsed, 5000u);

  // A session started 100 ms before the 32-bit counter wrapped, checked 200 ms
  // after it: the unsigned difference is still the elapsed time.
  const uint32_t sessionStart = 0xFFFFFFFFu - 99u;
  const uint32_t now = sessionStart + 300u;  // wraps to 200
  EXPECT_EQ(now, 200u);
  EXPECT_EQ(now - sessionStart, 300u);
  EXPECT_FALSE(now - sessionStart > 5000u);  // not yet timed out
  EXPECT_TRUE(static_cast<uint32_t>(sessionStart + 5001u) - sessionStart > 5000u);
}

}  // namespace
}  // namespace ocuvant::platform
