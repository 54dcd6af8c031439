#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/critical_section.h"
#include "foundation/message_loop.h"
#include "foundation/semaphore.h"
#include "foundation/singleton.h"

namespace {

using namespace std::chrono_literals;

TEST(Semaphore, CountsReleasesAndTimesOut) {
  Semaphore semaphore;
  EXPECT_EQ(semaphore.Wait(10), Semaphore::WaitResult::TimedOut);
  EXPECT_TRUE(semaphore.Release(2));
  EXPECT_EQ(semaphore.Wait(0), Semaphore::WaitResult::Signalled);
  EXPECT_EQ(semaphore.Wait(0), Semaphore::WaitResult::Signalled);
  EXPECT_EQ(semaphore.Wait(0), Semaphore::WaitResult::TimedOut);
  EXPECT_TRUE(semaphore.Release(Semaphore::kMaximumCount));
  EXPECT_FALSE(semaphore.Release(1));
  EXPECT_FALSE(semaphore.Release(0));
}

TEST(Semaphore, TimedPauseLastsAboutItsTimeout) {
  Semaphore semaphore;
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(semaphore.Wait(100), Semaphore::WaitResult::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 95ms);
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CriticalSection section;
  section.Enter();
  section.Enter();
  std::atomic<bool> entered{false};
  std::thread other([&] {
    CriticalSectionLock hold(section);
    entered = true;
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(entered);
  section.Leave();
  std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(entered);
  section.Leave();
  other.join();
  EXPECT_TRUE(entered);
}

struct Counter {
  int value = 0;
  static inline std::atomic<int> created{0};
  Counter() { ++created; }
};

TEST(Singleton, CreatedOnFirstUseSharedAndDestroyedOnce) {
  static Singleton<Counter> holder;
  int created_before = Counter::created;
  EXPECT_FALSE(holder.Exists());
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([] {
      for (int n = 0; n < 1000; ++n) {
        SingletonAccess<Counter> counter(holder);
        ++counter->value;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(Counter::created - created_before, 1);
  {
    SingletonAccess<Counter> counter(holder);
    EXPECT_EQ(counter->value, 8000);
  }
  holder.Destroy();
  EXPECT_FALSE(holder.Exists());
  holder.Destroy();  // a second destroy is harmless
  {
    SingletonAccess<Counter> counter(holder);
    EXPECT_EQ(counter->value, 0);  // a fresh object
  }
  holder.Destroy();
}

TEST(MessageLoop, RunsPostedTasksInOrderAndSendsSynchronously) {
  MessageLoop loop;
  std::vector<int> order;
  std::thread sender;
  std::optional<intptr_t> sent_result;
  loop.Post([&] { order.push_back(1); });
  loop.Post([&] {
    order.push_back(2);
    sender = std::thread([&] {
      sent_result = loop.Send([&] {
        order.push_back(3);
        return intptr_t{42};
      });
      loop.Post([&] { loop.Quit(5); });
    });
  });
  EXPECT_EQ(loop.Run(), 5);
  sender.join();
  ASSERT_TRUE(sent_result.has_value());
  EXPECT_EQ(*sent_result, 42);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  // Once the loop has ended, sends are refused instead of blocking forever.
  EXPECT_FALSE(loop.Send([] { return intptr_t{1}; }).has_value());
}

TEST(MessageLoop, SendFromTheLoopThreadRunsInline) {
  MessageLoop loop;
  loop.Post([&] {
    auto result = loop.Send([] { return intptr_t{9}; });
    loop.Quit(result.value_or(-1));
  });
  EXPECT_EQ(loop.Run(), 9);
}

TEST(MessageLoop, TimersFireUntilKilled) {
  MessageLoop loop;
  int ticks = 0;
  loop.SetTimer(192, 10, [&] {
    if (++ticks == 3) {
      loop.KillTimer(192);
      loop.SetTimer(7, 30, [&] { loop.Quit(ticks); });
    }
  });
  EXPECT_EQ(loop.Run(), 3);
}

TEST(MessageLoop, SenderGivesUpWhenAsked) {
  MessageLoop loop;
  std::atomic<bool> give_up{false};
  std::optional<intptr_t> result = intptr_t{0};
  std::thread sender(
      [&] { result = loop.Send([] { return intptr_t{1}; }, [&] { return give_up.load(); }); });
  std::this_thread::sleep_for(30ms);
  give_up = true;
  sender.join();
  EXPECT_FALSE(result.has_value());
}

}  // namespace
