#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/critical_section.h"
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

}  // namespace
