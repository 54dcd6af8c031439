#include "foundation/semaphore.h"

#include <chrono>

#include "foundation/thread.h"

Semaphore::WaitResult Semaphore::Wait(uint32_t milliseconds) {
  // Built before taking our own lock: its callback takes that lock.
  StopWaker waker([this] {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [&] { return count_ > 0 || Thread::CurrentStopRequested(); };
  if (milliseconds == kInfinite) {
    signalled_.wait(lock, ready);
  } else {
    signalled_.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
  }
  if (count_ > 0) {
    --count_;
    return WaitResult::Signalled;
  }
  return Thread::CurrentStopRequested() ? WaitResult::Stopped : WaitResult::TimedOut;
}

bool Semaphore::Release(int32_t count) {
  if (count < 1) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (count > kMaximumCount - count_) return false;
  count_ += count;
  signalled_.notify_all();
  return true;
}
