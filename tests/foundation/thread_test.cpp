#include "foundation/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "desktop/message_loop.h"
#include "foundation/critical_section.h"
#include "foundation/semaphore.h"

namespace {

using namespace std::chrono_literals;

// Polls `condition` for up to `limit`; true once it holds.
template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = 5000ms) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return condition();
}

// A worker that pauses in a loop until stopped, counting what it does.
class LoopingThread : public Thread {
 public:
  ~LoopingThread() override { Stop(); }

  std::atomic<int> liveWorkers{0};
  std::atomic<int> iterations{0};
  std::atomic<int> stopCalls{0};
  std::atomic<int> startCalls{0};

 protected:
  void OnThreadStart() override { ++startCalls; }
  void Run() override {
    ++liveWorkers;
    while (Pause(1)) ++iterations;
    --liveWorkers;
  }
  void OnThreadStop() override { ++stopCalls; }
};

TEST(Thread, StartTwiceLeavesExactlyOneWorker) {
  LoopingThread thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.liveWorkers == 1; }));
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.iterations > 0; }));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(thread.liveWorkers, 1);
  EXPECT_TRUE(thread.IsRunning());
  // The first run was stopped by the second Start.
  EXPECT_EQ(thread.stopCalls, 1);
  EXPECT_EQ(thread.startCalls, 2);
  thread.Stop();
  EXPECT_EQ(thread.liveWorkers, 0);
  EXPECT_EQ(thread.stopCalls, 2);
}

TEST(Thread, StopEndsTheWorkerAndNothingRunsAfterwards) {
  LoopingThread thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.iterations > 3; }));
  thread.Stop();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.liveWorkers, 0);
  int after_stop = thread.iterations;
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(thread.iterations, after_stop);
}

TEST(Thread, StopOnIdleObjectDoesNothing) {
  LoopingThread thread;
  thread.Stop();
  EXPECT_EQ(thread.stopCalls, 0);
  ASSERT_TRUE(thread.Start());
  thread.Stop();
  thread.Stop();
  EXPECT_EQ(thread.stopCalls, 1);
}

class ReturnAtOnce : public Thread {
 public:
  ~ReturnAtOnce() override { Stop(); }
  std::atomic<int> runs{0};
  std::atomic<int> stopCalls{0};
  std::atomic<bool> stopOnWorker{false};
  std::thread::id workerId;

 protected:
  void Run() override {
    workerId = std::this_thread::get_id();
    ++runs;
  }
  void OnThreadStop() override {
    stopOnWorker = std::this_thread::get_id() == workerId;
    ++stopCalls;
  }
};

TEST(Thread, BodyThatReturnsLeavesObjectIdleAndRestartable) {
  ReturnAtOnce thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.stopCalls == 1; }));
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_TRUE(thread.stopOnWorker);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(thread.stopCalls, 1);

  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.stopCalls == 2; }));
  EXPECT_EQ(thread.runs, 2);
  thread.Stop();  // idle again: nothing more
  EXPECT_EQ(thread.stopCalls, 2);
}

// A body that throws: a runtime_error on its first run, anything else later.
class ThrowingThread : public Thread {
 public:
  ~ThrowingThread() override { Stop(); }
  std::atomic<int> runs{0};
  std::atomic<int> stopCalls{0};

 protected:
  void Run() override {
    if (++runs == 1) throw std::runtime_error("disk on fire");
    throw 7;
  }
  void OnThreadStop() override { ++stopCalls; }
};

TEST(Thread, ThrowingBodyEndsOnlyItsOwnWorker) {
  LoopingThread bystander;
  ASSERT_TRUE(bystander.Start());
  ThrowingThread thread;

  ::testing::internal::CaptureStderr();
  bool started = thread.Start();
  // The line is written before the worker stops its object.
  bool ended = started && Eventually([&] { return thread.stopCalls == 1; });
  std::string firstReport = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(ended);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_NE(firstReport.find("disk on fire"), std::string::npos) << firstReport;

  // The process, and every other worker in it, goes on.
  EXPECT_TRUE(bystander.IsRunning());
  int done = bystander.iterations;
  EXPECT_TRUE(Eventually([&] { return bystander.iterations > done + 2; }));

  ::testing::internal::CaptureStderr();
  started = thread.Start();
  ended = started && Eventually([&] { return thread.stopCalls == 2; });
  std::string secondReport = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(ended) << "a failed run leaves the object restartable";
  EXPECT_NE(secondReport.find("unknown exception"), std::string::npos) << secondReport;
  EXPECT_EQ(thread.runs, 2);
  bystander.Stop();
  EXPECT_EQ(bystander.liveWorkers, 0);
}

// OnThreadStop runs before the worker has left its wait, on the stopping thread.
class OrderRecorder : public Thread {
 public:
  ~OrderRecorder() override { Stop(); }
  Semaphore semaphore;
  std::mutex mutex;
  std::vector<std::string> events;
  std::atomic<bool> waiting{false};
  Semaphore::WaitResult result = Semaphore::WaitResult::Failed;

 protected:
  void Run() override {
    waiting = true;
    result = semaphore.Wait(Semaphore::kInfinite);
    Note("worker left wait");
  }
  void OnThreadStop() override { Note("OnThreadStop"); }

 private:
  void Note(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(event);
  }
};

TEST(Thread, StopWakesAnInfiniteSemaphoreWaitAfterOnThreadStop) {
  OrderRecorder thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.waiting.load(); }));
  std::this_thread::sleep_for(10ms);
  auto started = std::chrono::steady_clock::now();
  thread.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  EXPECT_EQ(thread.result, Semaphore::WaitResult::Stopped);
  ASSERT_EQ(thread.events.size(), 2u);
  EXPECT_EQ(thread.events[0], "OnThreadStop");
  EXPECT_EQ(thread.events[1], "worker left wait");
}

// A worker that keeps taking a lock of the system is never stopped while
// holding it.
class LockTaker : public Thread {
 public:
  explicit LockTaker(CriticalSection& section) : section_(section) {}
  ~LockTaker() override { Stop(); }
  std::atomic<int> rounds{0};

 protected:
  void Run() override {
    while (!StopRequested()) {
      CriticalSectionLock hold(section_);
      std::this_thread::sleep_for(1ms);
      ++rounds;
    }
  }

 private:
  CriticalSection& section_;
};

TEST(Thread, StopNeverLeavesALockHeld) {
  CriticalSection section;
  LockTaker thread(section);
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.rounds > 5; }));
  thread.Stop();
  auto other = std::async(std::launch::async, [&] {
    section.Enter();
    section.Leave();
    return true;
  });
  ASSERT_EQ(other.wait_for(2s), std::future_status::ready);
  EXPECT_TRUE(other.get());
}

// A custom blocking wait registers how it is woken.
class CustomWaiter : public Thread {
 public:
  ~CustomWaiter() override { Stop(); }
  std::mutex mutex;
  std::condition_variable condition;
  bool woken = false;
  std::atomic<bool> waiting{false};
  std::atomic<bool> finished{false};

 protected:
  void Run() override {
    StopWaker waker([this] {
      std::lock_guard<std::mutex> lock(mutex);
      woken = true;
      condition.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    waiting = true;
    condition.wait(lock, [this] { return woken; });
    finished = true;
  }
};

TEST(Thread, StopRunsRegisteredWakers) {
  CustomWaiter thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(Eventually([&] { return thread.waiting.load(); }));
  thread.Stop();
  EXPECT_TRUE(thread.finished);
}

// The worker blocks in a synchronous send to the thread that stops it; the
// stop must deliver that send instead of deadlocking.
class SyncCaller : public Thread {
 public:
  explicit SyncCaller(MessageLoop& loop) : loop_(loop) {}
  ~SyncCaller() override { Stop(); }
  std::atomic<int> delivered{0};
  std::atomic<int> sends{0};

 protected:
  void Run() override {
    while (!StopRequested()) {
      ++sends;
      auto result = loop_.Send([this] {
        ++delivered;
        return intptr_t{7};
      });
      if (result && *result != 7) return;
    }
  }

 private:
  MessageLoop& loop_;
};

TEST(Thread, StopOnLoopThreadWhileWorkerIsInSynchronousSend) {
  MessageLoop loop;
  SyncCaller caller(loop);
  loop.Post([&] {
    ASSERT_TRUE(caller.Start());
    // Give the worker time to block in a send: this task does not return to
    // the loop, so nothing else delivers it.
    std::this_thread::sleep_for(50ms);
    caller.Stop();
    loop.Quit(3);
  });
  auto done = std::async(std::launch::async, [] { return 0; });
  EXPECT_EQ(loop.Run(), 3);
  EXPECT_FALSE(caller.IsRunning());
  EXPECT_GE(caller.sends, 1);
}

// A thread whose stop frees its own object, as a dialog thread does.
class SelfDeleting : public Thread {
 public:
  explicit SelfDeleting(std::atomic<int>& gone) : gone_(gone) {}
  ~SelfDeleting() override {
    Stop();
    ++gone_;
  }

 protected:
  void Run() override {}
  void OnThreadStop() override { delete this; }

 private:
  std::atomic<int>& gone_;
};

TEST(Thread, WorkerMayDeleteItsOwnObject) {
  std::atomic<int> gone{0};
  auto* thread = new SelfDeleting(gone);
  ASSERT_TRUE(thread->Start());
  EXPECT_TRUE(Eventually([&] { return gone == 1; }));
  std::this_thread::sleep_for(20ms);
}

}  // namespace
